// Stand-in security set-up until the standard security handler is built: a
// file with an Encrypt entry cannot be decrypted and reports -7.
#include "pdf/document.h"
#include "pdf/security.h"

int pdf_setup_security(PdfDoc *doc, const char *password)
{
    (void)password;
    PdfObject *encrypt = pdf_dict_get(doc->trailer, "Encrypt");
    if (!encrypt)
        return 0;
    if (encrypt->type == PDF_REF)
        doc->encrypt_num = encrypt->num;
    return -7;
}
