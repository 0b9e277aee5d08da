#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs both programs from
# there: the installed layout (bin/, share/velmora/) must be complete on its
# own, and settings must go to the user's folder, not into the prefix.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/velmora bin/velmora-cli share/velmora/setting.ini \
            share/velmora/languages/english.ini share/velmora/languages/chinese.ini \
            share/man/man1/velmora-cli.1 share/bash-completion/completions/velmora-cli \
            share/applications/io.github.velmora.Velmora.desktop \
            share/metainfo/io.github.velmora.Velmora.metainfo.xml \
            share/icons/hicolor/48x48/apps/velmora.png; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file" >&2; exit 1; }
done

# The desktop file and the metadata pass their validators, where installed.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/io.github.velmora.Velmora.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/io.github.velmora.Velmora.metainfo.xml" >/dev/null
fi

"$prefix/bin/velmora-cli" --version | grep -q '^velmora-cli '
"$prefix/bin/velmora" --version | grep -q '^velmora '

# A copy through the installed command line.
ffmpeg -nostdin -v error -f lavfi -i testsrc=duration=1:size=160x120:rate=25 \
  -f lavfi -i sine=duration=1 -c:v libx264 -c:a aac "$work/in.mp4"
mkdir "$work/out"
"$prefix/bin/velmora-cli" -q -o "$work/out" "$work/in.mp4" | grep -q '^done '
[ "$(ffprobe -v error -select_streams a -show_entries packet=pts -of csv=p=0 "$work/out/in.mp4" | wc -l)" = 0 ]

# The installed window starts, reads its texts from share/velmora and is
# closed again; nothing is written into the prefix.
before=$(find "$prefix" -type f | sort | md5sum)
# The window, given a file to add as "Open with" would, is still up when it
# is ended after a few seconds (timeout's status 124).
status=0
XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 5 \
  "$prefix/bin/velmora" "$work/in.mp4" >/dev/null 2>&1 || status=$?
[ "$status" = 124 ] || { echo "the installed window ended with $status" >&2; exit 1; }
after=$(find "$prefix" -type f | sort | md5sum)
[ "$before" = "$after" ] || { echo "the program wrote into its install prefix" >&2; exit 1; }
echo "installed and ran from $prefix"
