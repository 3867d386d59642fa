// RC4 stream cipher (key-scheduling algorithm and pseudo-random generation),
// as used for the RC4 methods of the PDF standard security handler.
#include "pdf/rc4.h"

void rc4_init(Rc4 *rc, const uint8_t *key, int key_length)
{
    for (int k = 0; k < 256; k++)
        rc->s[k] = uint8_t(k);
    rc->i = rc->j = 0;
    if (!key || key_length <= 0)
        return;
    if (key_length > 256)
        key_length = 256;
    uint8_t j = 0;
    for (int k = 0; k < 256; k++) {
        j = uint8_t(j + rc->s[k] + key[k % key_length]);
        const uint8_t t = rc->s[k];
        rc->s[k] = rc->s[j];
        rc->s[j] = t;
    }
}

void rc4_crypt(Rc4 *rc, uint8_t *data, size_t n)
{
    uint8_t i = rc->i, j = rc->j;
    uint8_t *s = rc->s;
    for (size_t k = 0; k < n; k++) {
        i = uint8_t(i + 1);
        j = uint8_t(j + s[i]);
        const uint8_t t = s[i];
        s[i] = s[j];
        s[j] = t;
        data[k] ^= s[uint8_t(s[i] + s[j])];
    }
    rc->i = i;
    rc->j = j;
}
