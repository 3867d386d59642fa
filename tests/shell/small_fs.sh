#!/bin/bash
# start DIR: mounts a read-only file system at DIR/ro and one of 64 KiB at
# DIR/tiny (where a page image cannot fit); stop DIR: unmounts both. Without
# the right to mount, start leaves plain folders and a note, and the tests
# that need the mounts skip.
set -u
cmd=$1 dir=$2
case $cmd in
start)
    bash "$0" stop "$dir" 2>/dev/null
    mkdir -p "$dir/ro" "$dir/tiny"
    rm -f "$dir/unmounted"
    if ! mount -t tmpfs -o ro,size=16k tmpfs "$dir/ro" 2>/dev/null ||
       ! mount -t tmpfs -o size=64k tmpfs "$dir/tiny" 2>/dev/null; then
        umount "$dir/ro" 2>/dev/null
        echo "mount not permitted" > "$dir/unmounted"
    fi
    exit 0
    ;;
stop)
    for m in ro tiny; do
        mountpoint -q "$dir/$m" 2>/dev/null && umount "$dir/$m"
    done
    exit 0
    ;;
esac
echo "usage: $0 start|stop DIR" >&2
exit 2
