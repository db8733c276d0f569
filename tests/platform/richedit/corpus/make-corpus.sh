#!/bin/sh
# Remakes the corpus: receipt.md written as RTF by pandoc, and (through
# pandoc's DOCX) by LibreOffice and AbiWord; beside each RTF, the text that
# LibreOffice's own RTF reader gives (UTF-8). Needs, on the machine that
# remakes it only: pandoc abiword libreoffice-writer-nogui.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pandoc -s receipt.md -o pandoc-receipt.rtf
pandoc receipt.md -o "$work/receipt.docx"
soffice --headless --convert-to rtf --outdir "$work" "$work/receipt.docx" >/dev/null
mv "$work/receipt.rtf" libreoffice-receipt.rtf
abiword --to=rtf -o abiword-receipt.rtf "$work/receipt.docx"
for f in *.rtf; do
  cp "$f" "$work/$f"
  soffice --headless --convert-to 'txt:Text (encoded):UTF8' --outdir "$work" "$work/$f" >/dev/null
  mv "$work/${f%.rtf}.txt" "${f%.rtf}.txt"
done
cp ./*.rtf ../../../../fuzz/seeds/rtf/
