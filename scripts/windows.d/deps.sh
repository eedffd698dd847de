# Builds the Windows dependencies once into a cache outside the tree, keyed by
# their versions; a step whose stamp is in the cache is skipped. Sourced by
# scripts/windows, which sets root, key, prefix, qt, src and toolchain.

jobs=${GAUGEMON_WINDOWS_JOBS:-$(nproc)}

# Debian's source of a package, unpacked once under $src.
unpack_source() { # package directory-glob
  local package=$1 glob=$2
  local dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$glob" | head -1)
  if [[ -z "$dir" ]]; then
    (cd "$src" && apt-get source -qq --download-only "$package" >/dev/null 2>&1 || true)
    local tarball
    tarball=$(find "$src" -maxdepth 1 -name "${package}_*.orig.tar.*" ! -name '*orig-*' | head -1)
    [[ -n "$tarball" ]] || { echo "no source of $package from Debian" >&2; return 1; }
    tar -C "$src" -xf "$tarball"
    dir=$(find "$src" -maxdepth 1 -type d -name "$glob" | head -1)
  fi
  echo "$dir"
}

stamped() { [[ -f "$root/$key/.$1.done" ]]; }
stamp() { touch "$root/$key/.$1.done"; }

# qtbase is built in place (its build directory is its prefix), so the
# modules the station needs are usable as soon as they are built, without an
# install of everything: Core and Test first for the unit tests, then the
# window's Gui, Widgets and the Windows platform plugin.
configure_qtbase() {
  [[ -f "$qt/.configured" ]] && return 0
  local dir
  dir=$(unpack_source qt6-base 'qtbase-everywhere-src-*')
  rm -rf "$qt" && mkdir -p "$qt"
  (cd "$qt" &&
    "$dir/configure" -prefix "$qt" -xplatform win32-g++ -qt-host-path /usr -release -opensource \
      -confirm-license -nomake examples -nomake tests -no-opengl -no-dbus -no-feature-sql \
      -no-feature-printsupport -no-feature-tabletevent -no-feature-concurrent -no-feature-xml \
      -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -no-freetype -qt-harfbuzz -no-icu -- \
      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain")
  touch "$qt/.configured"
}

build_qt_targets() { # stamp targets...
  local name=$1
  shift
  stamped "$name" && return 0
  configure_qtbase
  cmake --build "$qt" --parallel "$jobs" --target "$@"
  stamp "$name"
}

# SQLite's amalgamation from Debian's source tree, compiled as one file.
build_sqlite() {
  stamped sqlite && return 0
  local dir
  dir=$(unpack_source sqlite3 'sqlite3-*')
  [[ -d "$dir" ]] || dir=$(find "$src" -maxdepth 1 -type d -name 'sqlite-src-*' | head -1)
  rm -rf "$root/$key/build/sqlite" && mkdir -p "$root/$key/build/sqlite"
  (cd "$root/$key/build/sqlite" && "$dir/configure" >/dev/null && make -s sqlite3.c &&
    x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -c sqlite3.c -o sqlite3.o &&
    x86_64-w64-mingw32-ar rcs libsqlite3.a sqlite3.o &&
    mkdir -p "$prefix/include" "$prefix/lib" && cp sqlite3.h sqlite3ext.h "$prefix/include/" &&
    cp libsqlite3.a "$prefix/lib/")
  stamp sqlite
}

cmake_dependency() { # name source-dir cmake-args...
  local name=$1 dir=$2
  shift 2
  rm -rf "$root/$key/build/$name"
  cmake -S "$dir" -B "$root/$key/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$root/$key/build/$name" --parallel "$jobs"
  cmake --install "$root/$key/build/$name" >/dev/null
}

build_xlsxwriter() {
  stamped xlsxwriter && return 0
  cmake_dependency xlsxwriter "$(unpack_source libxlsxwriter 'libxlsxwriter-*')" -DBUILD_SHARED_LIBS=OFF
  stamp xlsxwriter
}

# GoogleTest from Debian's googletest package, which holds its sources.
build_googletest() {
  stamped googletest && return 0
  cmake_dependency googletest /usr/src/googletest -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF
  stamp googletest
}

build_paho() {
  stamped paho && return 0
  local c cpp
  if ! c=$(unpack_source paho.mqtt.c 'paho.mqtt.c-*') || ! cpp=$(unpack_source paho.mqtt.cpp 'paho.mqtt.cpp-*'); then
    echo "MQTT is left out: Debian's mirror has not the source of Paho MQTT C" >&2
    return 0
  fi
  cmake_dependency paho-c "$c" -DPAHO_BUILD_STATIC=ON -DPAHO_BUILD_SHARED=OFF -DPAHO_WITH_SSL=OFF \
    -DPAHO_ENABLE_TESTING=OFF
  cmake_dependency paho-cpp "$cpp" -DPAHO_BUILD_STATIC=ON -DPAHO_BUILD_SHARED=OFF -DPAHO_WITH_SSL=OFF
  stamp paho
}

build_dependencies() {
  mkdir -p "$src" "$prefix"
  build_qt_targets qtcore Core Test EntryPointImplementation
  build_sqlite
  build_googletest
  build_xlsxwriter
  build_qt_targets qtwidgets Gui Widgets QWindowsIntegrationPlugin
  build_paho
}
