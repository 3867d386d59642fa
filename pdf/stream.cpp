// Stream readers: the length limiter over a fresh file handle (so several
// streams can be read at once), and the decoded contents through the stream's
// filters.
#include "pdf/stream.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/limits.h"
#include "pdf/reader.h"

namespace {

// ---- Length limiter ----

struct LimitState {
    int64_t left;
};

int limit_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<LimitState *>(r->ctx);
    if (s->left <= 0)
        return 0;
    int want = s->left < capacity ? int(s->left) : capacity;
    int n = reader_read(r->next, buffer, want);
    if (n <= 0)
        return r->next->failed ? -1 : 0;
    s->left -= n;
    return n;
}

void free_ctx(ByteReader *r) { std::free(r->ctx); }

}  // namespace

ByteReader *pdf_open_raw_stream(PdfDoc *doc, PdfObject *stream)
{
    if (!doc || !stream || stream->type != PDF_STREAM || stream->data_length < 0)
        return nullptr;
    ByteReader *file = reader_open_file(doc->path);
    if (!file)
        return nullptr;
    if (reader_seek(file, stream->data_offset) != 0) {
        reader_close(file);
        return nullptr;
    }
    auto *s = static_cast<LimitState *>(std::calloc(1, sizeof(LimitState)));
    ByteReader *r = s ? reader_new(limit_fill, s, file) : nullptr;
    if (!r) {
        std::free(s);
        reader_close(file);
        return nullptr;
    }
    s->left = stream->data_length;
    r->close = free_ctx;
    if (doc->crypt && doc->decrypt_stream) {
        ByteReader *d = doc->decrypt_stream(doc, r, stream->num, stream->gen);
        if (!d) {
            reader_close_chain(r);
            return nullptr;
        }
        r = d;
    }
    return r;
}

ByteReader *pdf_open_stream(PdfDoc *doc, PdfObject *stream)
{
    ByteReader *raw = pdf_open_raw_stream(doc, stream);
    if (!raw)
        return nullptr;
    const char *unsupported = nullptr;
    ByteReader *r = pdf_apply_filters(doc, raw, stream->dict, &unsupported, 0);
    if (!r)
        reader_close_chain(raw);
    return r;
}
