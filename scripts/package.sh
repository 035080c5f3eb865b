#!/usr/bin/env bash
# Builds the Debian package quillbook_<version>_amd64.deb in the build folder
# and checks it with lintian, desktop-file-validate and appstreamcli.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
QUILL_PACKAGES+=(dpkg-dev fakeroot lintian desktop-file-utils appstream)
install_missing_packages
build_quillbook
cd "$QUILL_BUILD"
cpack -G DEB >/dev/null
package="$(ls -t "$QUILL_BUILD"/quillbook_*_amd64.deb | head -1)"
desktop-file-validate "$QUILL_ROOT/assets/desktop/quillbook.desktop"
appstreamcli validate --no-net "$QUILL_ROOT/assets/desktop/org.quillbook.Quillbook.metainfo.xml"
lintian --fail-on error "$package"
echo "$package"
