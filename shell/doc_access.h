// The shell's view of the document layer. When the document layer is not
// part of the build, a stand-in answers every open with -1 so that the
// shell still builds and behaves as with an unreadable file.
#pragma once

#if __has_include("document/document.h")
#include "document/document.h"
#define SHELL_HAVE_DOCUMENTS 1
#else
#define SHELL_HAVE_DOCUMENTS 0
struct Document {
    int kind;
};
inline int doc_open(Document **out, const char *, const char *)
{
    *out = nullptr;
    return -1;
}
inline void doc_close(Document *) {}
inline int doc_page_count(Document *doc) { return doc ? 1 : 0; }
inline const char *doc_kind_name(Document *) { return ""; }
inline int doc_has_text(Document *) { return 0; }
inline int doc_page_size(Document *, int, float *w, float *h, int *rot)
{
    *w = 612, *h = 792, *rot = 0;
    return -2;
}
inline int doc_rotate(Document *doc, int) { return doc ? 1 : 0; }
#endif

// Kind value of plain-text Documents.
constexpr int SHELL_DOC_TEXT = 4;
