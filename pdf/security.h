// Entry of the security handler into the open sequence: checks the password
// against the trailer's Encrypt dictionary and installs the decryption state.
#pragma once

struct PdfDoc;

// 0 (not encrypted, or password accepted: doc->crypt and the decrypt hooks
// are set), -3 (memory), -6 (wrong password) or -7 (unsupported encryption).
int pdf_setup_security(PdfDoc *doc, const char *password);
