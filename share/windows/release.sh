#!/usr/bin/env bash
# The Windows release from a cross build, into DIST_DIR: quillon-windows-x64.zip
# and the installer quillon-VERSION-x64.msi. quillon.exe, quillon-cli.exe
# and the MSI are signed (Authenticode) when a code-signing certificate and
# its key are given; otherwise they are made unsigned, and this says so.
#
#   share/windows/release.sh BUILD_DIR DIST_DIR [--cert FILE --key FILE | --pkcs12 FILE]
#                            [--pass-file FILE] [--timestamp URL] [--version VERSION]
#
# Instead of the options: QUILLON_SIGN_CERT, QUILLON_SIGN_KEY, QUILLON_SIGN_PKCS12,
# QUILLON_SIGN_PASS_FILE, QUILLON_SIGN_TIMESTAMP. The certificate and key are
# PEM or DER files; the password of an encrypted key or PKCS #12 file is the
# first line of the pass file. The timestamp server (RFC 3161) keeps the
# signatures valid once the certificate expires. --version makes the release
# under another version than the build's, for the upgrade test only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { sed -n '2,17p' "$0" >&2; exit 2; }
build=$(cd "$1" && pwd)
mkdir -p "$2"
dist=$(cd "$2" && pwd)
shift 2

cert=${QUILLON_SIGN_CERT:-} key=${QUILLON_SIGN_KEY:-} pkcs12=${QUILLON_SIGN_PKCS12:-}
pass=${QUILLON_SIGN_PASS_FILE:-} timestamp=${QUILLON_SIGN_TIMESTAMP:-}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
while [ $# -gt 0 ]; do
  case "$1" in
    --cert) cert=$2 ;;
    --key) key=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --pass-file) pass=$2 ;;
    --timestamp) timestamp=$2 ;;
    --version) version=$2 ;;
    *) echo "release.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

fail() { echo "release.sh: $*" >&2; exit 1; }
[ -n "$version" ] || fail "$build is no configured build: it has no CMakeCache.txt with the project's version"
[ -x "$build/quillon.exe" ] || fail "$build has no quillon.exe: the installer needs the window (build it with ./quillon.sh windows)"
for tool in wixl msibuild; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (Debian: apt-get install wixl msitools; ./quillon.sh package installs them)"
done
signing=false
if [ -n "$cert$key$pkcs12" ]; then
  # Asked to sign: nothing goes out unsigned, nor half signed.
  command -v osslsigncode >/dev/null ||
    fail "osslsigncode is not installed, so nothing can be signed (Debian 12: from bookworm-backports). Nothing was made."
  if [ -n "$pkcs12" ]; then
    [ -r "$pkcs12" ] || fail "cannot read the PKCS #12 file $pkcs12"
  else
    [ -r "$cert" ] && [ -r "$key" ] || fail "signing needs both a certificate and its key that can be read (--cert FILE --key FILE)"
  fi
  [ -z "$pass" ] || [ -r "$pass" ] || fail "cannot read the pass file $pass"
  signing=true
fi

sign() {
  $signing || return 0
  local args=(sign -h sha256 -n "Quillon" -in "$1" -out "$1.signed")
  if [ -n "$pkcs12" ]; then args+=(-pkcs12 "$pkcs12"); else args+=(-certs "$cert" -key "$key"); fi
  [ -z "$pass" ] || args+=(-readpass "$pass")
  [ -z "$timestamp" ] || args+=(-ts "$timestamp")
  osslsigncode "${args[@]}" >/dev/null || { rm -f "$1.signed"; fail "cannot sign $(basename "$1")"; }
  mv "$1.signed" "$1"
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/quillon-windows-x64
cmake --install "$build" --prefix "$root" --strip >/dev/null
# Debian's DLLs carry their debugging sections; the programs need none.
for dll in "$root"/*.dll; do "$strip" --strip-unneeded "$dll"; done
sign "$root/quillon.exe"
sign "$root/quillon-cli.exe"

zip=$dist/quillon-windows-x64.zip
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip quillon-windows-x64)

# A new ProductCode for each version, the same one for every build of it.
product=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "Quillon " + sys.argv[2])).upper())' \
          "$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$here/quillon.wxs")" "$version")
msi=$dist/quillon-$version-x64.msi
rm -f "$msi"
cp "$build/src/win/quillon.ico" "$stage/"
# wixl finds files by names relative to where it runs.
(cd "$stage" && wixl -a x64 -D Version="$version" -D ProductCode="$product" -D SourceDir=quillon-windows-x64 \
                 -D Icon=quillon.ico -o "$msi" "$here/quillon.wxs")
# quillon-cli on the system PATH: the installer appends the folder and takes
# it out again on uninstall. And the places of the actions that remove the
# settings, which wixl would put outside the installation script: the
# reg.exe path found once the folders are known, the settings removed as
# the files are.
msibuild "$msi" \
  -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1001 WHERE \`Action\` = 'FindReg'" \
  -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 3450 WHERE \`Action\` = 'RemoveSettings'" \
  -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
  -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('QuillonPath', '=-*PATH', '[~];[INSTALLDIR]', 'CommandLine')" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
sign "$msi"

echo "Made $zip"
echo "Made $msi"
if $signing; then
  echo "Signed quillon.exe, quillon-cli.exe and the MSI."
else
  echo "NOT SIGNED: quillon.exe, quillon-cli.exe and the MSI have no Authenticode signature; give a code-signing"
  echo "certificate and its key (--cert FILE --key FILE, or QUILLON_SIGN_CERT and QUILLON_SIGN_KEY) to sign them."
  command -v osslsigncode >/dev/null || echo "osslsigncode is not installed here either: signing needs it (Debian 12: bookworm-backports)."
fi
