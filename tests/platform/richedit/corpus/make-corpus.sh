#!/bin/sh
# Remakes the corpus: each source (receipt.md, lists.md) written as RTF by
# pandoc, and (through pandoc's DOCX) by LibreOffice and AbiWord; beside each
# RTF, the text that LibreOffice's own reader gives (UTF-8). LibreOffice
# reads AbiWord's multi-level numbers (\pnprev) as "a.a.", so for those the
# text is LibreOffice's of the DOCX AbiWord read.
# The hand-*.rtf and word-*.rtf files are written by hand, the latter as
# Word on a Taiwanese system writes RTF (no converter writes fonts of other
# code pages or Symbol bullets as bytes); only their texts are remade.
# Needs, on the machine that remakes it only: pandoc abiword
# libreoffice-writer-nogui.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
text() {  # text FILE NAME: LibreOffice's text of FILE as NAME.txt
  [ "$(dirname "$1")" = "$work" ] || cp "$1" "$work/"
  soffice --headless --convert-to 'txt:Text (encoded):UTF8' --outdir "$work" "$work/$(basename "$1")" >/dev/null
  mv "$work/$(basename "${1%.*}").txt" "$2.txt"
}
for source in receipt lists; do
  pandoc -s "$source.md" -o "pandoc-$source.rtf"
  pandoc "$source.md" -o "$work/$source.docx"
  soffice --headless --convert-to rtf --outdir "$work" "$work/$source.docx" >/dev/null
  mv "$work/$source.rtf" "libreoffice-$source.rtf"
  abiword --to=rtf -o "abiword-$source.rtf" "$work/$source.docx"
done
for f in *.rtf; do
  case "$f" in
    abiword-lists.rtf) text "$work/lists.docx" abiword-lists ;;
    *) text "$f" "${f%.rtf}" ;;
  esac
done
cp ./*.rtf ../../../../fuzz/seeds/rtf/
