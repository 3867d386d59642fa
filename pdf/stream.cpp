// Stream readers: the length limiter over a fresh file handle (so several
// streams can be read at once), and the decoded contents through the stream's
// filters.
#include "pdf/stream.h"

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/limits.h"
#include "pdf/reader.h"

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
    ByteReader *r = pdf_filter_limit(file, stream->data_length);
    if (!r) {
        reader_close(file);
        return nullptr;
    }
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
