#!/usr/bin/env bash
# make-files.sh FOLDER: the benchmark's folders of empty files, FOLDER/1000,
# FOLDER/10000 and FOLDER/100000, made on the Linux side where they are not
# there yet: Wine makes each new file in time proportional to the files
# already in its folder, so 100,000 made through it take a quarter of an hour.
set -euo pipefail
for count in 1000 10000 100000; do
  folder=$1/$count
  [ "$(find "$folder" -maxdepth 1 -type f 2>/dev/null | wc -l)" = "$count" ] && continue
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && seq -f 'capture_%06g.txt' 0 $((count - 1)) | xargs touch)
done
