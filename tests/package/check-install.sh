#!/bin/bash
# check-install.sh tree|deb BUILD_DIR VERSION WITH_MAIN_PROGRAM
#   tree: cmake --install into a temporary prefix and check what landed there.
#   deb:  build the Debian package, unpack it into a clean root and check the same.
set -euo pipefail

mode=$1 build=$2 version=$3 with_main=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Path under the prefix | what it must be.
expected_files="
bin/talvo-helper|program
bin/talvoctl|program
bin/talvo-sandbox|program
share/applications/org.talvo.Talvo.desktop|desktop
share/applications/talvo-helper.desktop|desktop
share/metainfo/org.talvo.Talvo.metainfo.xml|metainfo
share/icons/hicolor/scalable/apps/org.talvo.Talvo.svg|svg
share/icons/hicolor/16x16/apps/org.talvo.Talvo.png|png 16
share/icons/hicolor/24x24/apps/org.talvo.Talvo.png|png 24
share/icons/hicolor/32x32/apps/org.talvo.Talvo.png|png 32
share/icons/hicolor/48x48/apps/org.talvo.Talvo.png|png 48
share/icons/hicolor/64x64/apps/org.talvo.Talvo.png|png 64
share/icons/hicolor/128x128/apps/org.talvo.Talvo.png|png 128
share/icons/hicolor/256x256/apps/org.talvo.Talvo.png|png 256
share/man/man1/talvo.1.gz|man
share/man/man1/talvo-helper.1.gz|man
share/man/man1/talvoctl.1.gz|man
share/man/man1/talvo-sandbox.1.gz|man
share/doc/talvo/copyright|text
share/doc/talvo/changelog.gz|gzip
"
[ "$with_main" = 1 ] && expected_files="$expected_files
bin/talvo|program"

check_tree() {
    local prefix=$1
    local line path kind
    while IFS= read -r line; do
        [ -z "$line" ] && continue
        path=${line%%|*} kind=${line#*|}
        local f="$prefix/$path"
        if [ ! -f "$f" ]; then
            fail "$path is missing"
            continue
        fi
        case $kind in
        program)
            [ -x "$f" ] || fail "$path is not executable"
            local out
            out=$(QT_QPA_PLATFORM=offscreen timeout 20 "$f" --version 2>&1 </dev/null) ||
                fail "$path --version failed: $out"
            [[ "$out" == *"$version"* ]] || fail "$path --version says '$out', not $version"
            ;;
        desktop)
            desktop-file-validate "$f" || fail "$path does not validate"
            local icon
            icon=$(sed -n 's/^Icon=//p' "$f" | head -n1)
            [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
                fail "$path names icon '$icon', which is not installed"
            local exe
            exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$f" | head -n1)
            if [ "$exe" != talvo ] || [ "$with_main" = 1 ]; then
                [ -x "$prefix/bin/$exe" ] || fail "$path starts '$exe', which is not installed"
            fi
            ;;
        metainfo)
            appstreamcli validate --no-net --explain "$f" >"$work/as.log" 2>&1 ||
                { cat "$work/as.log"; fail "$path does not validate"; }
            grep -q "<release version=\"$version\"" "$f" ||
                fail "$path does not announce release $version"
            local id
            id=$(sed -n 's/.*<launchable type="desktop-id">\(.*\)<\/launchable>.*/\1/p' "$f")
            [ -f "$prefix/share/applications/$id" ] || fail "$path launches '$id', not installed"
            ;;
        svg)
            grep -q '<svg' "$f" || fail "$path is not an SVG"
            ;;
        png*)
            local size=${kind#png }
            file -b "$f" | grep -q "PNG image data, $size x $size," ||
                fail "$path is not a ${size}x${size} PNG: $(file -b "$f")"
            ;;
        man)
            gzip -t "$f" || fail "$path is not gzip"
            local warnings
            warnings=$(zcat "$f" | LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 -ww -z 2>&1)
            [ -z "$warnings" ] || fail "$path: $warnings"
            zcat "$f" | grep -q "$version" || fail "$path does not name version $version"
            ;;
        gzip) gzip -t "$f" || fail "$path is not gzip" ;;
        text) [ -s "$f" ] || fail "$path is empty" ;;
        esac
    done <<<"$expected_files"

    # Nothing unexpected: an install that drops build leftovers or headers fails here.
    local listed
    listed=$(echo "$expected_files" | sed -n 's/|.*//p' | sort)
    local actual
    actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
    local extra
    extra=$(comm -13 <(echo "$listed") <(echo "$actual"))
    [ -z "$extra" ] || fail "unexpected files installed: $extra"
}

case $mode in
tree)
    cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
    check_tree "$work/prefix"
    ;;
deb)
    (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1) ||
        { cat "$work/cpack.log"; fail "cpack failed"; exit 1; }
    deb="$work/out/talvo_${version}_amd64.deb"
    [ -f "$deb" ] || { ls "$work/out"; fail "no talvo_${version}_amd64.deb"; exit 1; }
    dpkg-deb -x "$deb" "$work/root"
    check_tree "$work/root/usr"
    [ "$(ls "$work/root")" = usr ] || fail "the package installs outside /usr: $(ls "$work/root")"
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libc6 libqt6core6 libqt6widgets6 libcurl4 libsecret-1-0; do
        [[ "$depends" == *"$lib "* || "$depends" == *"$lib," || "$depends" == *"$lib" ]] ||
            fail "Depends lacks $lib: $depends"
    done
    # dpkg installs it into an empty root (its libraries are not there, hence
    # --force-depends) and removes it without leaving a file behind.
    admin="$work/clean/var/lib/dpkg"
    mkdir -p "$admin/info" "$admin/updates"
    touch "$admin/status" "$admin/available"
    dpkg --root="$work/clean" --force-depends --force-script-chrootless -i "$deb" \
        >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
    [ -x "$work/clean/usr/bin/talvo-helper" ] || fail "dpkg -i left no talvo-helper"
    dpkg --root="$work/clean" --force-depends --force-script-chrootless --purge talvo \
        >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge failed"; }
    left=$(find "$work/clean" -mindepth 1 -not -path "$work/clean/var*" -type f)
    [ -z "$left" ] || fail "files left after removal: $left"

    # Lintian is slow to install; the check runs where it is present.
    if command -v lintian >/dev/null; then
        lintian --fail-on error "$deb" || fail "lintian reports errors"
    fi
    ;;
*)
    echo "usage: $0 tree|deb BUILD_DIR VERSION WITH_MAIN_PROGRAM" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
