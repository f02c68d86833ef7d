#!/usr/bin/env bash
# Installs the cross toolchain and test tools, then builds the Windows x64 dependencies
# (libcurl with zlib, pugixml, Boost.Thread) from Debian's source packages into a cache outside
# the clone. Idempotent: a second run with a warm cache takes seconds.
#
# Prints the cache folder on its last line; other scripts read it from there.
set -euo pipefail

DEPS=${PELIKANT_DEPS:-/var/cache/pelikant}
HOST=x86_64-w64-mingw32
CXX_W=$HOST-g++-posix
CC_W=$HOST-gcc-posix
JOBS=$(nproc)

log() { echo "setup: $*" >&2; }

PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xauth
    cmake make dpkg-dev libboost1.74-dev googletest python3 xz-utils g++ locales nsis fonts-wine
    libz-mingw-w64-dev nginx-light tinyproxy)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >&2
}

# A deb-src twin of every Debian "deb" source the machine already uses, so that
# apt-get source finds the same archive (and mirror) the binaries come from.
add_source_entries() {
    local target=/etc/apt/sources.list.d/pelikant-src.sources
    local list=/etc/apt/sources.list.d/pelikant-src.list
    [ -f "$target" ] || [ -f "$list" ] && return 0
    local made=0
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        [ "$f" = "$target" ] && continue
        grep -qi 'debian' "$f" || continue
        # deb822: copy each stanza whose Types is exactly "deb".
        awk 'BEGIN{RS=""; ORS="\n\n"} /(^|\n)Types:[ \t]*deb[ \t]*(\n|$)/ && /debian/ {
                sub(/Types:[ \t]*deb[ \t]*\n/, "Types: deb-src\n"); print }' "$f" | as_root tee -a "$target" >/dev/null
        made=1
    done
    if [ -f /etc/apt/sources.list ]; then
        grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | grep -i debian |
            sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' | as_root tee -a "$list" >/dev/null || true
        made=1
    fi
    [ "$made" -eq 1 ] || { log "no Debian apt source found to derive a deb-src entry from"; exit 1; }
    as_root apt-get update -qq
}

# Newest version of a source package that apt knows.
source_version() {
    apt-cache showsrc "$1" 2>/dev/null | awk '/^Package: /{p=$2} /^Version: /{ if (p==pkg) print $2 }' pkg="$1" |
        sort -V | tail -n 1
}

fetch_source() { # package version folder
    local work=$3
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq "$1=$2" >&2)
}

build_curl() {
    local ver out work src
    ver=$(source_version curl)
    [ -n "$ver" ] || { log "apt knows no source package curl"; exit 1; }
    # Named by its options too: checkouts that want another build of the same version share
    # the cache without overwriting each other's.
    out=$DEPS/curl-$ver-zlib
    [ -f "$out/lib/libcurl.a" ] && { echo "$out"; return; }
    log "building libcurl $ver (about 3 minutes)"
    work=$DEPS/work/curl-zlib
    fetch_source curl "$ver" "$work"
    src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    (
        cd "$src"
        ./configure --host=$HOST CC=$CC_W --with-schannel --disable-shared --enable-static \
            --disable-ldap --disable-ldaps --disable-rtsp --disable-dict --disable-telnet --disable-tftp \
            --disable-pop3 --disable-imap --disable-smtp --disable-gopher --disable-mqtt --disable-smb \
            --disable-manual --disable-docs --disable-ftp --disable-file --disable-ntlm-wb \
            --with-zlib=/usr/$HOST --without-brotli --without-zstd --without-libpsl --without-libidn2 \
            --without-nghttp2 --without-libssh2 --without-librtmp --without-ca-bundle --without-ca-path \
            >"$work/configure.log" 2>&1 || { tail -n 30 "$work/configure.log" >&2; exit 1; }
        make -C lib -j"$JOBS" >"$work/make.log" 2>&1 || { tail -n 30 "$work/make.log" >&2; exit 1; }
    )
    rm -rf "$out.tmp"
    mkdir -p "$out.tmp/lib" "$out.tmp/include/curl"
    cp "$src/lib/.libs/libcurl.a" "$out.tmp/lib/"
    cp "$src"/include/curl/*.h "$out.tmp/include/curl/"
    mv "$out.tmp" "$out"
    rm -rf "$work"
    echo "$out"
}

build_pugixml() {
    local ver out work src
    ver=$(source_version pugixml)
    [ -n "$ver" ] || { log "apt knows no source package pugixml"; exit 1; }
    out=$DEPS/pugixml-$ver
    [ -f "$out/lib/libpugixml.a" ] && { echo "$out"; return; }
    log "building pugixml $ver"
    work=$DEPS/work/pugixml
    fetch_source pugixml "$ver" "$work"
    src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    rm -rf "$out.tmp"
    mkdir -p "$out.tmp/lib" "$out.tmp/include"
    $CXX_W -O2 -c "$src/src/pugixml.cpp" -o "$work/pugixml.o"
    $HOST-ar rcs "$out.tmp/lib/libpugixml.a" "$work/pugixml.o"
    cp "$src/src/pugixml.hpp" "$src/src/pugiconfig.hpp" "$out.tmp/include/"
    mv "$out.tmp" "$out"
    rm -rf "$work"
    echo "$out"
}

# Only Boost.Thread has sources the program needs; Bind and Format are header-only.
build_boost_thread() {
    local ver out work tarball
    ver=$(source_version boost1.74)
    [ -n "$ver" ] || { log "apt knows no source package boost1.74"; exit 1; }
    out=$DEPS/boost-thread-$ver
    [ -f "$out/lib/libboost_thread.a" ] && { echo "$out"; return; }
    log "building Boost.Thread $ver"
    work=$DEPS/work/boost
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq --download-only "boost1.74=$ver" >&2)
    tarball=$(ls "$work"/boost1.74_*.orig.tar.* | head -n 1)
    tar -xf "$tarball" -C "$work" --wildcards '*/libs/thread/src/*'
    local src
    src=$(find "$work" -type d -path '*/libs/thread/src' | head -n 1)
    rm -rf "$out.tmp"
    mkdir -p "$out.tmp/lib"
    local objs=()
    local f
    for f in win32/thread.cpp win32/thread_primitives.cpp win32/tss_dll.cpp win32/tss_pe.cpp future.cpp; do
        local o="$work/$(basename "$f" .cpp).o"
        $CXX_W -O2 -std=gnu++17 -DBOOST_THREAD_BUILD_LIB -DBOOST_THREAD_USE_LIB -DBOOST_ALL_NO_LIB \
            -isystem "$DEPS/boost-include" -c "$src/$f" -o "$o" 2>"$work/warnings.log"
        objs+=("$o")
    done
    $HOST-ar rcs "$out.tmp/lib/libboost_thread.a" "${objs[@]}"
    mv "$out.tmp" "$out"
    rm -rf "$work"
    echo "$out"
}

# The cross compiler must see Boost's headers but never glibc's, so it gets a folder
# holding only a link to them.
boost_headers() {
    mkdir -p "$DEPS/boost-include"
    ln -sfn /usr/include/boost "$DEPS/boost-include/boost"
}

# Wine takes each process's code page from its Unix locale: the tests run under the Polish one
# (code page 1250) and walk the program again under the English one (1252), where Polish text
# must survive too; the Russian one (1251) is there for trying it by hand.
LOCALES=(pl_PL en_US ru_RU)
test_locales() {
    local missing=() name
    for name in "${LOCALES[@]}"; do
        locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$" || missing+=("$name")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "generating the locales ${missing[*]}"
    for name in "${missing[@]}"; do
        as_root sed -i -E "s/^# *($name\.UTF-8 UTF-8)/\1/" /etc/locale.gen
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    done
    as_root locale-gen >/dev/null
}

main() {
    install_packages
    test_locales
    mkdir -p "$DEPS"
    add_source_entries
    boost_headers
    local curl pugi thread
    curl=$(build_curl)
    pugi=$(build_pugixml)
    thread=$(build_boost_thread)
    # The file's name changes with the set of builds it names (v2: libcurl with zlib), so a
    # checkout of an older set, sharing this cache, keeps reading its own file.
    cat >"$DEPS/deps-v2.cmake.tmp" <<EOF
set(PELIKANT_CURL_DIR "$curl")
set(PELIKANT_PUGIXML_DIR "$pugi")
set(PELIKANT_BOOST_THREAD_DIR "$thread")
set(PELIKANT_BOOST_INCLUDE_DIR "$DEPS/boost-include")
EOF
    mv "$DEPS/deps-v2.cmake.tmp" "$DEPS/deps-v2.cmake"
    echo "$DEPS"
}

main "$@"
