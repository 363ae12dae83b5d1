#!/usr/bin/env bash
# The Debian package and the installed tree it holds, one check per call:
#   package_checks.sh CHECK WORK_DIR [ARGUMENT]
# "build" makes the package from the build folder in the current directory and
# unpacks it into WORK_DIR/root; every other check looks at that tree.
set -euo pipefail
check=$1 work=$2 argument=${3:-}
root=$work/root
share=$root/usr/share

fail() { echo "FAIL: $*" >&2; exit 1; }

case $check in
build)
  rm -rf "$work" && mkdir -p "$work"
  cpack -G DEB -B "$work" >"$work/cpack.log" || { cat "$work/cpack.log"; fail "cpack"; }
  debs=("$work"/*.deb)
  [ ${#debs[@]} -eq 1 ] || fail "expected one package, found: ${debs[*]}"
  ln -s "${debs[0]}" "$work/pixolune.deb"
  dpkg-deb -x "$work/pixolune.deb" "$root"
  ;;

metadata)  # dependencies worked out from the binaries
  fields=$(dpkg-deb -f "$work/pixolune.deb" Package Depends Homepage Section)
  echo "$fields"
  for wanted in "Package: pixolune" "libqt6widgets6" "libjpeg62-turbo" "libc6" \
                "Homepage: https://pixolune.example/" "Section: graphics"; do
    grep -qF "$wanted" <<<"$fields" || fail "no '$wanted' in the package fields"
  done
  ;;

layout)  # everything in its place, icons of the size their folder says
  for file in bin/pixolune bin/pixolune-cli share/applications/pixolune.desktop \
              share/metainfo/example.pixolune.Pixolune.metainfo.xml \
              share/icons/hicolor/scalable/apps/pixolune.svg \
              share/man/man1/pixolune.1.gz share/man/man1/pixolune-cli.1.gz \
              share/bash-completion/completions/pixolune-cli share/doc/pixolune/copyright \
              share/pixolune/Samples/photo.bmp; do
    [ -e "$root/usr/$file" ] || fail "missing /usr/$file"
  done
  for size in 16 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x$size/apps/pixolune.png
    file "$icon" | grep -qF "PNG image data, $size x $size" || fail "$icon: $(file -b "$icon")"
  done
  ;;

validators)  # what desktops and software centres read
  desktop-file-validate "$share/applications/pixolune.desktop"
  appstreamcli validate --no-net "$share/metainfo/example.pixolune.Pixolune.metainfo.xml"
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' \
                 "$share/metainfo/example.pixolune.Pixolune.metainfo.xml")
  [ -e "$share/applications/$launchable" ] || fail "the metainfo launches $launchable, not installed"
  ;;

completion)  # every option that --help lists is completed
  options=$("$root/usr/bin/pixolune-cli" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)
  [ -n "$options" ] || fail "no options in --help"
  completed=$(bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(pixolune-cli -); COMP_CWORD=1; COMP_LINE="pixolune-cli -"; COMP_POINT=${#COMP_LINE}
    _pixolune_cli pixolune-cli - pixolune-cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$share/bash-completion/completions/pixolune-cli")
  missing=$(comm -23 <(echo "$options") <(echo "$completed" | sort -u))
  [ -z "$missing" ] || fail "not completed: $missing"
  ;;

cli)  # the packaged pixolune-cli reduces a BMP, a PNG and a JPEG (through their own
     # libraries); an 8-bit BMP needs the decoder module, and says so when it is missing
  out=$work/cli-out && rm -rf "$out" && mkdir -p "$out/jpeg" "$out/from-jpeg" "$out/png"
  cli=$root/usr/bin/pixolune-cli
  "$cli" -o "$out" "$share/pixolune/Samples/photo.bmp" "$share/pixolune/Samples/disc-alpha.png"
  "$cli" -o "$out/jpeg" -t jpg "$share/pixolune/Samples/photo.bmp"
  "$cli" -o "$out/from-jpeg" "$out/jpeg/photo-reduced.jpg"
  for written in photo-reduced.bmp disc-alpha-reduced.bmp from-jpeg/photo-reduced-reduced.bmp; do
    [ "$(head -c 2 "$out/$written")" = BM ] || fail "no BMP written for $written"
  done

  module=$(find "$root" -name pixolune-qt-decoder.so)
  [ -n "$module" ] || fail "no decoder module installed"
  broken=$work/without-module && rm -rf "$broken" && cp -a "$root" "$broken"
  rm "$broken/${module#"$root"/}"
  status=0
  "$broken/usr/bin/pixolune-cli" -o "$out/png" "$share/pixolune/Samples/disc-alpha.png" ||
    fail "a PNG needs the decoder module"
  message=$("$broken/usr/bin/pixolune-cli" -o "$out" "$share/pixolune/Samples/rings-8bit.bmp" 2>&1) ||
    status=$?
  echo "$message"
  [ $status -eq 1 ] || fail "an 8-bit BMP without the decoder module: exit status $status, not 1"
  grep -qF "cannot be loaded" <<<"$message" || fail "the missing module is not named"
  ;;

window)  # the packaged window finds its samples in the installed share folder
  home=$work/home && rm -rf "$home" && mkdir -p "$home/bin"
  printf '#!/bin/sh\nexit 0\n' >"$home/bin/xdg-open" && chmod +x "$home/bin/xdg-open"
  output=$(HOME=$home XDG_CONFIG_HOME=$home/.config PATH="$home/bin:$PATH" \
           QT_QPA_PLATFORM=offscreen LD_PRELOAD="$argument" "$root/usr/bin/pixolune")
  echo "$output"
  samples=$share/pixolune/Samples
  grep -qF "question: Would you like this software to open the folder" <<<"$output" ||
    fail "the question was not asked"
  listed=$(sed -n 's/^listed: //p' <<<"$output" | sort)
  expected=$(find "$samples" -maxdepth 1 -type f | sort)
  [ -n "$expected" ] || fail "no samples installed"
  [ "$listed" = "$expected" ] || fail "listed other files than $samples holds"
  ;;

*) fail "unknown check $check" ;;
esac
