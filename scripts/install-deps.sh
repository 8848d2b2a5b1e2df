#!/usr/bin/env bash
# Installs the Debian packages a step needs, only those that are missing.
# Usage: scripts/install-deps.sh build|test|bench|package ...
set -euo pipefail

packages=()
for group in "$@"; do
    case "$group" in
        # media-types: /etc/mime.types, read at run time by --browse-standard-types.
        # libsqlite3-dev and libxml2-dev: the search's index and its HTML text.
        # zlib1g-dev and libbrotli-dev: compressed responses (--browse-compress).
        # ccache: the test run compiles the same sources in several builds.
        build) packages+=(cmake g++ make ccache liblzo2-dev zlib1g-dev libfltk1.3-dev fonts-liberation2 libgtest-dev libgmock-dev
                          media-types libsqlite3-dev libxml2-dev libbrotli-dev) ;;
        # ffmpeg makes the large video that the browser's seek test plays; curl asks
        # the real program for byte ranges; nodejs and npm run the browser tests
        # (a machine's own Node.js, when it has one, is used as it is).
        test) packages+=(xvfb xauth xdotool x11-utils imagemagick clang libclang-rt-14-dev clang-tidy
                         chromium ffmpeg curl)
              command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm) ;;
        # Cross-building for Windows and running the result under Wine; tcl makes
        # SQLite's single-file source from Debian's source package.
        windows) packages+=(g++-mingw-w64-x86-64-posix wine zip dpkg-dev xvfb xauth xdotool imagemagick curl
                            tcl) ;;
        bench) packages+=(lzop zip hyperfine python3.11-doc libstdc++-12-doc wrk nginx-light kiwix-tools zim-tools python3 imagemagick
                          libbenchmark-dev time ffmpeg rust-web-doc
                          python-django-doc postgresql-doc-15 python-scipy-doc git-doc cmake-doc
                          apache2-doc sqlite3-doc libglib2.0-doc libsdl2-doc openjdk-17-doc
                          octave-doc qtbase5-doc-html libgtk-4-doc ghc-doc erlang-doc
                          python-djangorestframework-doc libboost1.74-doc vim-doc python-pandas-doc
                          python-sqlalchemy-doc python-flask-doc cppreference-doc-en-html python-pytest-doc
                          python-celery-doc llvm-14-doc libasio-doc python-lxml-doc
                          python-tornado-doc python-cryptography-doc python-werkzeug-doc python-sympy-doc
                          python-jinja2-doc python-pil-doc python-aiohttp-doc python-pygments-doc
                          python-requests-doc python-scrapy-doc python-psycopg2-doc
                          python-click-doc python-setuptools-doc python-hypothesis-doc
                          python-babel-doc python-gevent-doc python-xarray-doc python-pymongo-doc
                          python-attr-doc python-kombu-doc python-jsonschema-doc python-astropy-doc
                          mkdocs-doc r-doc-html maxima-doc python-dask-doc python-sklearn-doc
                          wx3.2-doc cargo-doc python-statsmodels-doc python-markdown-doc
                          python-h5py-doc racket-doc python-webob-doc swi-prolog-doc
                          libsfml-doc python-structlog-doc doxygen-doc
                          python-openstackclient-doc python-tables-doc libcairo2-doc
                          python-skimage-doc python-ase-doc python-pyqtgraph-doc
                          libgtkmm-4.0-doc flex-doc ncurses-doc libxml2-doc
                          libsoup-3.0-doc python-pint-doc gettext-doc python-lmfit-doc
                          libeigen3-doc sphinx-doc)
               # nodejs-doc goes with Debian's nodejs only: installing it would remove a
               # machine's own Node.js, which the browser tests use; the node tree is then
               # left out of the search bench.
               if ! command -v node >/dev/null || dpkg-query -W -f='${Version}' nodejs 2>/dev/null | grep -q dfsg; then
                   packages+=(nodejs-doc)
               fi ;;
        # The .deb (cpack's shared-library dependencies need dpkg-shlibdeps) and its
        # checks; rsvg-convert renders the icon's PNG sizes.
        package) packages+=(dpkg-dev lintian desktop-file-utils libxml2-utils man-db groff-base librsvg2-bin) ;;
        *) echo "unknown group: $group" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
