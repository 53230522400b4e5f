# Sourced by the test scripts: things on the Unix side that the Windows tests
# cannot make themselves, found through Wine's Z: drive.
#   TARV_SMALL_DRIVE  a 64 KiB file system (a full disk is met there)
#   TARV_LINK_TREE    tree/a.txt, tree/sub/jump -> outside (outside/keep.txt):
#                     Wine shows a Unix symbolic link to a folder as a junction
make_test_fixtures() {  # folder to make them in
    local base=$1
    mkdir -p "$base/small" "$base/links/outside" "$base/links/tree/sub"
    if mount -t tmpfs -o size=64k tmpfs "$base/small" 2>/dev/null; then
        export TARV_SMALL_DRIVE="$base/small"
    else
        echo "note: cannot mount a small file system; the full-disk tests are skipped"
    fi
    echo keep > "$base/links/outside/keep.txt"
    echo x > "$base/links/tree/a.txt"
    ln -s "$base/links/outside" "$base/links/tree/sub/jump"
    export TARV_LINK_TREE="$base/links"
}
remove_test_fixtures() {
    umount "$1/small" 2>/dev/null || true
}
