#!/usr/bin/env bash
# The Debian package: cpack builds it with dependencies from dpkg-shlibdeps,
# it holds the desktop files, and unpacked into a temporary folder its
# programs run where they lie. Skipped (77) without the Debian tools.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR SHARED_DIR
set -u
build=$(realpath "$1") source=$2 shared=$3
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null || { echo "no $tool: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "$*"; failures=$((failures + 1)); }

if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"; echo "cpack failed"; exit 1
fi
deb=$(ls "$work"/out/*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/list"
for entry in ./usr/share/thumbnailers/scrivlet.thumbnailer ./usr/share/mime/packages/scrivlet.xml \
             ./usr/share/applications/scrivlet.desktop ./usr/share/icons/hicolor/scalable/apps/scrivlet.svg \
             ./usr/share/icons/hicolor/48x48/apps/scrivlet.png ./usr/share/icons/hicolor/256x256/apps/scrivlet.png \
             ./usr/share/scrivlet/imagemagick/delegates.xml ./usr/include/scrivlet_emf.h \
             ./usr/lib/pkgconfig/scrivlet-emf.pc ./usr/lib/libscrivlet-emf.so.1 \
             ./usr/lib/scrivlet/Scrivlet ./usr/lib/scrivlet/libSLPrnSupprt.so ./usr/lib/scrivlet/SLPrnSupport \
             ./usr/lib/scrivlet/ScrivletSetup ./usr/lib/scrivlet/sScrivlet2.dot ./usr/lib/scrivlet/emf/page0001.emf \
             ./usr/bin/Scrivlet ./usr/bin/scrivlet-convert ./usr/bin/scrivlet-thumbnailer; do
  grep -qxF "$entry" "$work/list" || fail "the package lacks $entry"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libcairo2* && $depends == *libc6* ]] || fail "dependencies not from dpkg-shlibdeps: '$depends'"
dpkg-deb -e "$deb" "$work/control"
grep -q ScrivletSetup "$work/control/postinst" || fail "the post-install step does not record the installation folder"

root=$work/root
dpkg -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/scrivlet.desktop" || fail "the desktop entry does not validate"
fi
# The desktop tells the file types apart by the installed types and the
# system's own: a spool file is ours even though another type claims *.spl.
if command -v update-mime-database >/dev/null && command -v gio >/dev/null &&
  [[ -f /usr/share/mime/packages/freedesktop.org.xml ]]; then
  mkdir -p "$work/mime/mime/packages"
  cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/scrivlet.xml" \
    "$work/mime/mime/packages/"
  update-mime-database "$work/mime/mime" >/dev/null 2>&1
  cp "$root/usr/lib/scrivlet/emf/page0001.emf" "$work/mime/page.emf"
  cp "$work/mime/page.emf" "$work/mime/page-without-name"
  printf '\x00\x00\x01\x00\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$work/mime/job.SPL"
  for pair in page.emf:image/emf page-without-name:image/emf job.SPL:application/x-scrivlet-emf-spool; do
    type=$(XDG_DATA_DIRS=$work/mime XDG_DATA_HOME=$work/mime/none \
      gio info -a standard::content-type "$work/mime/${pair%%:*}" 2>/dev/null | sed -n 's/.*content-type: //p')
    [[ $type == "${pair#*:}" ]] || fail "${pair%%:*} is taken as '$type', not ${pair#*:}"
  done
fi
# No run path points into the build.
for binary in "$root"/usr/lib/scrivlet/* "$root"/usr/lib/libscrivlet-emf.so.1; do
  [[ -f $binary ]] || continue
  if readelf -d "$binary" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
    fail "$(basename "$binary") has a run path into the build"
  fi
done

# The programs from the unpacked tree, with the state in the temporary folder.
export SCRIVLET_REGISTRY=$work/registry SCRIVLET_HOME=$work/home HOME=$work/home
export XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
page=$root/usr/lib/scrivlet/emf/page0001.emf
"$root/usr/bin/scrivlet-convert" --dpi 30 -o "$work/converted" "$page" >/dev/null && [[ -s $work/converted/page0001.png ]] ||
  fail "scrivlet-convert did not run from the unpacked package"
"$root/usr/bin/scrivlet-thumbnailer" -s 64 "$page" "$work/thumb.png" && [[ -s $work/thumb.png ]] ||
  fail "scrivlet-thumbnailer did not run from the unpacked package"
"$root/usr/lib/scrivlet/ScrivletSetup" "$root/usr/lib/scrivlet" >/dev/null || fail "ScrivletSetup did not run"
(cd "$work" && SCRIVLET_OUTPUT=$work/demo "$root/usr/bin/Scrivlet" quick </dev/null >/dev/null 2>&1)
ls "$work"/demo/Demo0001.* >/dev/null 2>&1 || fail "Scrivlet quick wrote no page from the unpacked package"

# The C test program built against the unpacked library, its header and its
# pkg-config file.
if command -v cc >/dev/null && command -v pkg-config >/dev/null; then
  flags=$(PKG_CONFIG_PATH=$root/usr/lib/pkgconfig pkg-config --cflags --libs scrivlet-emf)
  # shellcheck disable=SC2086
  if cc -std=c99 -Wall -Wextra -pedantic -o "$work/c_test" "$source/tests/capi/emf_c_api_test.c" $flags \
       -Wl,-rpath,"$root/usr/lib"; then
    "$work/c_test" "$root/usr/lib/scrivlet/emf/page0002.emf" "$shared" || fail "the C test failed on the installed library"
    ldd "$work/c_test" | grep -q "$root/usr/lib/libscrivlet-emf.so.1" || fail "the C test did not use the installed library"
  else
    fail "the C test does not build against the installed header and library"
  fi
fi

((failures == 0)) && echo "all checks passed"
exit $((failures != 0))
