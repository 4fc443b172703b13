# Builds the game-object module from its .ls sources. Run with /bin/sh.
#
# A .ls file is C++ in which a line "import a.b" stands for the file a/b.ls of this
# directory. Every .ls file is copied to a scratch tree with its imports turned into
# includes (guarded, so a file that imports itself or a cycle is read once) and a #line
# mark, so the compiler's messages name the .ls files and their lines. main.ls is then
# compiled into one shared library against the program's headers.
#
#   sh rebuild_dll.bat [output]
#
# Without an output the library is left as gameobj_new.dll in the program directory
# ($ZARNITH_APP_PATH, which the program sets, else ../bin/), where the running program
# picks it up. Environment: CXX (compiler, default c++), GAMEOBJ_CXXFLAGS (default -O2),
# ZARNITH_SOURCE_ROOT (the tree holding app/, gameobj/, ...; default: the parent of this
# directory).

here=$(cd "$(dirname "$0")" && pwd) || exit 1
root=${ZARNITH_SOURCE_ROOT:-$(dirname "$here")}
if [ -n "$1" ]; then
  out=$1
else
  appdir=${ZARNITH_APP_PATH:-$root/bin/}
  out=${appdir%/}/gameobj_new.dll
fi
cxx=${CXX:-c++}
flags=${GAMEOBJ_CXXFLAGS:--O2}

# The library is built beside the output and renamed, so that nobody ever loads a
# half-written one.
tmp="$out.part$$"
work=$(mktemp -d "${TMPDIR:-/tmp}/gameobj-build.XXXXXX") || exit 1
trap 'rm -rf "$work"; rm -f "$tmp"' EXIT
trap 'exit 1' INT TERM

(cd "$here" && find . -name '*.ls' -type f) | while IFS= read -r rel; do
  rel=${rel#./}
  mkdir -p "$work/$(dirname "$rel")" || exit 1
  guard=GAMEOBJ_LS_$(printf '%s' "$rel" | tr -c 'A-Za-z0-9' '_')
  {
    printf '#ifndef %s\n#define %s\n#line 1 "%s"\n' "$guard" "$guard" "$here/$rel"
    awk -v w="$work" '
      /^import / {
        s = substr($0, 8); sub(/^[ \t]+/, "", s); sub(/[ \t\r].*$/, "", s); gsub(/\./, "/", s)
        printf "#include \"%s/%s.ls\"\n", w, s; next
      }
      { print }' "$here/$rel"
    printf '\n#endif\n'
  } > "$work/$rel" || exit 1
done || exit 1

if [ ! -f "$work/main.ls" ]; then
  echo "$here/main.ls: error: no main source"
  exit 1
fi

if ! $cxx -std=c++20 $flags -fPIC -shared -fno-gnu-unique -fvisibility=hidden \
    -Wall -Wextra -Wno-unused-parameter -I"$root" -x c++ "$work/main.ls" -o "$tmp"; then
  exit 1
fi
mv -f "$tmp" "$out" || exit 1
echo "gameobj: built $out"
