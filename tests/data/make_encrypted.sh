#!/bin/sh
# Writes encrypted.pdf, sample.pdf protected with the user password "u" and
# the owner password "o" (AES, 128-bit key), for the view's password tests.
# usage: make_encrypted.sh [OUT.pdf]   (needs qpdf)
set -e
here=$(dirname "$0")
qpdf --static-id --encrypt u o 128 --use-aes=y -- "$here/sample.pdf" "${1:-$here/encrypted.pdf}"
