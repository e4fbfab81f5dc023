#!/bin/sh
# Compiles the help pages into Tarvixhlp.chm, the help file the program opens. Run after
# changing a page; needs chmcmd (Debian package fp-utils). The compiled file is kept in the
# repository so that building the program needs no help compiler.
set -e
cd "$(dirname "$0")"
chmcmd --no-html-scan Tarvixhlp.hhp
