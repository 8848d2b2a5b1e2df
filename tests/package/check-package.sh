#!/usr/bin/env bash
# Checks a built Debian package the way a user meets it: lintian finds no
# errors, the desktop entry and the manual pages are valid, and the program
# unpacked from the package (dpkg-deb -x) answers --help and --version, with and
# without a display, and compiles the example site and serves it in the console
# on port 8078.
# Usage: tests/package/check-package.sh PACKAGE.deb
# Serves on port 8078: run it alone, never beside tests that use the port.
set -euo pipefail
cd "$(dirname "$0")/../.."
package=$(realpath "$1")

fail() {
    echo "check-package: $*" >&2
    exit 1
}

echo "== lintian $package"
lintian --fail-on error "$package"

scratch=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
root=$scratch/root
dpkg-deb -x "$package" "$root"
program=$root/usr/bin/pelorine

echo "== desktop entry and manual pages"
desktop-file-validate "$root/usr/share/applications/pelorine.desktop"
desktop-file-validate "$root/usr/share/applications/pelorine-browse.desktop"
xmllint --noout "$root/usr/share/mime/packages/pelorine.xml"
grep -q 'MimeType=application/x-pelorine-archive;' "$root/usr/share/applications/pelorine-browse.desktop" ||
    fail "no desktop entry opens archives"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
for icon in scalable/apps/pelorine.svg 48x48/apps/pelorine.png 256x256/apps/pelorine.png; do
    [ -s "$root/usr/share/icons/hicolor/$icon" ] || fail "icon $icon missing"
done

echo "== --help and --version, without and with a display"
version=$(dpkg-deb -f "$package" Version)
# A window would keep the program running: the timeout catches it.
for display in none virtual; do
    run=(env -u DISPLAY timeout 10 "$program")
    [ "$display" = virtual ] && run=(tests/window/with-display.sh timeout 10 "$program")
    help=$("${run[@]}" --help) || fail "--help ($display display) exited with status $?"
    grep -q -- '^usage: pelorine' <<<"$help" || fail "--help ($display display) printed no usage"
    grep -q -- '--console' <<<"$help" || fail "--help ($display display) lists no options"
    answer=$("${run[@]}" --version) || fail "--version ($display display) exited with status $?"
    [ "$answer" = "Pelorine $version" ] || fail "--version ($display display) printed '$answer'"
done

echo "== the unpacked program compiles the example site"
env -u DISPLAY "$program" --console --compile-source examples/site \
    --compile-archive "$scratch/site.pel" --compile

echo "== the unpacked archive tool verifies it and gives the site back"
tool=$root/usr/bin/pelorine-archive
"$tool" --help | grep -q -- '^usage: pelorine-archive' || fail "pelorine-archive --help printed no usage"
"$tool" verify "$scratch/site.pel" >/dev/null || fail "pelorine-archive verify failed on the example site"
"$tool" extract "$scratch/site.pel" "$scratch/site" || fail "pelorine-archive extract failed"
diff -r examples/site "$scratch/site" >/dev/null || fail "the extracted site differs from the example site"

echo "== the unpacked program serves it on 127.0.0.1:8078"
port_open() { (exec 3<>/dev/tcp/127.0.0.1/8078) 2>/dev/null; }
# Connections of earlier tests may hold the port for a moment.
for _ in $(seq 50); do port_open || break; sleep 0.2; done
port_open && fail "port 8078 is taken by another program"
env -u DISPLAY "$program" --console --browse-archive "$scratch/site.pel" --browse >/dev/null &
server=$!
for _ in $(seq 50); do port_open && break; sleep 0.2; done
exec 3<>/dev/tcp/127.0.0.1/8078 || fail "the server does not listen"
printf 'GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n' >&3
# The body is everything after the header's blank line.
sed '1,/^\r$/d' <&3 >"$scratch/index.html"
exec 3<&-
cmp "$scratch/index.html" examples/site/index.html || fail "the start page differs from the site's"
kill -TERM "$server"
status=0
wait "$server" || status=$?
server=
[ "$status" -eq 0 ] || fail "the server ended with status $status on SIGTERM"
echo "== package checks passed"
