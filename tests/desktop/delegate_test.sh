#!/usr/bin/env bash
# The image library reads enhanced metafiles through the delegate fragment:
# `convert -density D page.emf out.png` with MAGICK_CONFIGURE_PATH set gives
# the pixels of `scrivlet-convert --dpi D`, and without the fragment it
# cannot read the page at all. Skipped (77) when there is no `convert`.
# Usage: delegate_test.sh SCRIVLET_CONVERT SOURCE_DIR SHARED_DIR
set -u
converter=$1 source=$2 shared=$3
command -v convert >/dev/null || { echo "no convert program: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tmp"
# The library's temporary files (and the delegate's folder) stay in here.
export TMPDIR="$work/tmp"
ln -s "$(realpath "$converter")" "$work/bin/scrivlet-convert"
failures=0

pages=("$source/samples/emf/page0002.emf")
corpus_page="$shared/corpus/emf/libemf2svg/test-001.emf"
if [[ -f $corpus_page ]]; then pages+=("$corpus_page"); else echo "corpus absent: its page is skipped"; fi

# The pixels of a PNG as raw RGB bytes, after its size.
pixels() { convert "$1" -format '%wx%h\n' -write info:- -depth 8 rgb:-; }

for page in "${pages[@]}"; do
  for dpi in 96 50; do
    name=$(basename "$page" .emf)
    rm -rf "$work/ref" && mkdir "$work/ref"
    if ! "$converter" --dpi "$dpi" -o "$work/ref" "$page" >/dev/null; then
      echo "$name: scrivlet-convert failed"; failures=$((failures + 1)); continue
    fi
    out="$work/$name-$dpi.png"
    if ! PATH="$work/bin:$PATH" MAGICK_CONFIGURE_PATH="$source/desktop/imagemagick" \
         convert -density "$dpi" "$page" "$out"; then
      echo "$name at $dpi dpi: convert failed through the delegate"; failures=$((failures + 1)); continue
    fi
    if ! cmp -s <(pixels "$out") <(pixels "$work/ref/$name.png"); then
      echo "$name at $dpi dpi: pixels differ from scrivlet-convert's"; failures=$((failures + 1))
    fi
  done
done

# Without the fragment the library has no reader for the page.
if (cd "$work" && PATH="$work/bin:$PATH" MAGICK_CONFIGURE_PATH="$work/nowhere" \
      convert "${pages[0]}" "$work/plain.png" 2>/dev/null); then
  echo "convert read the page without the delegate: the test proves nothing here"; failures=$((failures + 1))
fi
# A page the converter refuses gives an error, not an image.
printf 'not a metafile' > "$work/bad.emf"
if PATH="$work/bin:$PATH" MAGICK_CONFIGURE_PATH="$source/desktop/imagemagick" \
     convert "$work/bad.emf" "$work/bad.png" 2>/dev/null || [[ -e $work/bad.png ]]; then
  echo "a damaged page gave an image"; failures=$((failures + 1))
fi
# The delegate's own folder is removed again.
if ls -d "$TMPDIR"/magick-*.d 2>/dev/null | grep -q .; then
  echo "the delegate left its folder behind"; failures=$((failures + 1))
fi
((failures == 0)) && echo "all checks passed"
exit $((failures != 0))
