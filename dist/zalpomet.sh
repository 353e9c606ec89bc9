#!/bin/sh
# Launcher: the game reads ./level/<n>.lvl from its working directory, so it
# runs from the data directory. Paths are found relative to this script, which
# keeps the installed tree relocatable.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
cd "$prefix/share/games/zalpomet" || exit 1
exec "$prefix/lib/games/zalpomet/zalpomet" "$@"
