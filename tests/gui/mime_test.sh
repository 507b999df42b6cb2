#!/usr/bin/env bash
# The MIME description installed with the window: well-formed, accepted by
# the MIME database tools, and answering xdg-mime as the packaging check asks
# it: content first, extension second.
#   mime_test.sh MIME.xml DESKTOP-ENTRY
set -euo pipefail
xml=$1 desktop=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
xmllint --noout "$xml"
mkdir -p "$work/share/mime/packages"
cp "$xml" "$work/share/mime/packages/archive-tool.xml"
update-mime-database "$work/share/mime" 2>/dev/null
expect() { # file, type
  local got
  got=$(XDG_DATA_HOME=$work/share XDG_DATA_DIRS=/usr/share xdg-mime query filetype "$1")
  [ "$got" = "$2" ] || { echo "$(basename "$1"): $got, expected $2"; exit 1; }
}
cd "$work"
printf '_ARCHIVE\2\0\0\0' >sv2.big; expect sv2.big application/x-sga-archive
printf 'RBF1.23\1\0\0\0' >sv1.big; expect sv1.big application/x-rbf-archive
printf '_ARCHIVE' >mf.sga; expect mf.sga application/x-sga-archive
printf 'RBF1.23' >named-wrong.sga; expect named-wrong.sga application/x-rbf-archive
printf '_ARCHIVE' >no-extension; expect no-extension application/x-sga-archive
printf 'not an archive' >empty.grm; expect empty.grm application/x-sga-archive
# The desktop entry takes a file and names both types.
grep -qx 'Exec=archive-tool %f' "$desktop"
grep -qx 'MimeType=application/x-sga-archive;application/x-rbf-archive;' "$desktop"
echo "MIME types answered as expected"
