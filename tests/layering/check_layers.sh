#!/usr/bin/env bash
# Fails when an include points up the folder layers:
#   shell, tools -> document -> pdf, render, fonts, formats -> text, bitmap.
# The engine folders never include document/; text/ (page text shared by every
# document kind) and bitmap/ include nothing of ours but themselves.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
bad=0
check() {  # folder, pattern of forbidden include targets
    local dir=$1 forbidden=$2
    [ -d "$root/$dir" ] || return 0
    local hits
    hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"($forbidden)/" "$root/$dir" \
        --include='*.h' --include='*.cpp' || true)
    if [ -n "$hits" ]; then
        echo "layering: $dir/ includes a higher layer:"
        echo "$hits"
        bad=1
    fi
}
for engine in pdf render fonts formats; do
    check "$engine" 'document|shell|tools'
done
check bitmap 'document|pdf|render|fonts|formats|shell|tools|text'
check text 'document|pdf|render|fonts|formats|shell|tools|bitmap'
exit $bad
