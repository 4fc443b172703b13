#!/bin/sh
# Starts the installed game: the program directory is <prefix>/share/zarnith/bin.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../share/zarnith/bin/zarnith" "$@"
