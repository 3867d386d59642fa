// Readers over the data of PDF stream objects (PDF Reference 1.7, section
// 3.2.7): the raw, length-limited bytes and the decoded contents.
#pragma once

struct ByteReader;
struct PdfDoc;
struct PdfObject;

// A new file reader positioned at the stream's data and limited to its
// length, decrypting when the document is encrypted. Null when `stream` is not
// a stream or on any failure. Close it with reader_close_chain.
ByteReader *pdf_open_raw_stream(PdfDoc *doc, PdfObject *stream);
// The decoded contents: the raw reader followed by the stream's filters.
// Null on failure (the raw reader is then closed).
ByteReader *pdf_open_stream(PdfDoc *doc, PdfObject *stream);
