#!/usr/bin/env bash
# Builds the Debian package, checks what it holds, installs it on this
# machine, starts the installed programs and runs lintian on it.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/package
deb=$(ls -t build/gaugemon_*.deb | head -n1)

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/gaugemon ./usr/bin/gaugesim ./usr/share/applications/gaugemon.desktop \
            ./usr/share/icons/hicolor/scalable/apps/gaugemon.svg \
            ./usr/share/metainfo/org.gaugemon.gaugemon.metainfo.xml \
            ./usr/share/man/man1/gaugemon.1.gz ./usr/share/man/man1/gaugesim.1.gz \
            ./usr/share/doc/gaugemon/copyright ./usr/share/doc/gaugemon/examples/gaugemon-headless@.service; do
  grep -q " $path\$" <<<"$contents" || { echo "missing from the package: $path" >&2; exit 1; }
done

SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"
missing=()
for p in lintian desktop-file-utils appstream; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
desktop-file-validate packaging/gaugemon.desktop
appstreamcli validate --no-net --pedantic "build/packaging/org.gaugemon.gaugemon.metainfo.xml" || \
  appstreamcli validate --no-net "build/packaging/org.gaugemon.gaugemon.metainfo.xml"

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "./$deb"
/usr/bin/gaugemon --version
env -u DISPLAY QT_QPA_PLATFORM= /usr/bin/gaugemon --version | grep -q "^gaugemon "
/usr/bin/gaugesim --help | head -n 3
man -w gaugemon >/dev/null 2>&1 || true

# lintian refuses to run as root only in its advice; errors fail the check.
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq gaugemon
echo "package checked: $deb"
