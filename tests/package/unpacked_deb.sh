#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a temporary
# root (never installing it), runs the quillon-cli inside, and checks that
# the package holds every file the install rules name, and only those.
#   unpacked_deb.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

(cd "$build" && cpack -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(echo "$work"/cpack/quillon_*.deb)
[ -f "$deb" ] || { echo "no package made"; exit 1; }

# The control fields, and dependencies that dpkg-shlibdeps found.
for field in Package Version Section Maintainer Description Depends; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field field"
done
[ "$(dpkg-deb -f "$deb" Package)" = quillon ] || fail "the package is not named quillon"
version=$(dpkg-deb -f "$deb" Version)
for library in libc6 libssl3 libsqlite3-0 liburing2; do
  dpkg-deb -f "$deb" Depends | grep -q "\b$library\b" || fail "Depends lacks $library: $(dpkg-deb -f "$deb" Depends)"
done

# lintian finds no error (its notes are listed in the README).
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || fail "lintian: $(grep -v 'root privileges' "$work/lintian")"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
cli=$root/usr/bin/quillon-cli
"$cli" --version | grep -q "^Quillon $version\b" || fail "--version: $("$cli" --version) (package $version)"

# A small audit with the unpacked program.
tree=$work/tree
mkdir -p "$tree/sub"
printf 'one\n' >"$tree/a.txt"
printf 'two\n' >"$tree/sub/b.txt"
"$cli" list --md5 "$tree" -o "$work/base.qln" 2>"$work/err" || fail "list: $(cat "$work/err")"
grep -q "sub/b.txt" "$work/base.qln" || fail "the listing lacks sub/b.txt"
"$cli" compare --folder "$tree" --md5 "$work/base.qln" >/dev/null 2>"$work/err" ||
  fail "compare of the unchanged tree: $(cat "$work/err")"
printf 'three\n' >"$tree/c.txt"
"$cli" compare --folder "$tree" --md5 "$work/base.qln" >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "compare after a change did not exit 1"
grep -q "^Added: .*c.txt" "$work/out" || fail "compare did not find c.txt added: $(cat "$work/out")"

# Every file of the install rules is in the package, and nothing else.
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || {
  cat "$work/install.log"
  exit 1
}
(cd "$work/stage" && find . ! -type d | sort) >"$work/installed"
(cd "$root" && find . ! -type d | sort) >"$work/packaged"
while read -r file; do
  fail "installed but not in the package: ${file#.}"
done < <(comm -23 "$work/installed" "$work/packaged")
while read -r file; do
  fail "in the package but not installed: ${file#.}"
done < <(comm -13 "$work/installed" "$work/packaged")
[ "$(wc -l <"$work/packaged")" -ge 10 ] || fail "the package holds only $(wc -l <"$work/packaged") files"

# The Debian policy's places, and compressed man pages.
for file in usr/bin/quillon-cli usr/share/man/man1/quillon-cli.1.gz usr/share/man/man8/quillon-audit.8.gz \
    usr/share/doc/quillon/copyright usr/share/doc/quillon/changelog.gz \
    usr/share/bash-completion/completions/quillon-cli usr/lib/systemd/system/quillon-audit@.timer; do
  [ -f "$root/$file" ] || fail "the package lacks /$file"
done
for page in "$root"/usr/share/man/man*/*; do
  gzip -t "$page" 2>/dev/null || fail "${page#"$root"} is not gzip"
done
# man reads the unpacked page.
page=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/quillon-cli.1.gz" 2>/dev/null)
grep -q "EXIT STATUS" <<<"$page" || fail "man cannot show quillon-cli.1.gz"
grep -q "Quillon $version" <<<"$(tail -n 1 <<<"$page")" || fail "the man page does not name version $version"

[ $failures -eq 0 ] || exit 1
echo "the package $(basename "$deb") holds $(wc -l <"$work/packaged") files and works unpacked"
