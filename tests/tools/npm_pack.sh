#!/usr/bin/env bash
# npm_pack.sh CACHE PACKAGE VERSION...: each version of an npm package
# packed and unpacked once into CACHE/PACKAGE/VERSION/ (kept for later runs),
# for the tests that patch real programs' consecutive builds.
set -euo pipefail
cache=$1 package=$2
shift 2
for version in "$@"; do
  folder="$cache/${package//\//+}/$version"
  [ -d "$folder" ] && continue
  mkdir -p "$(dirname "$folder")"
  work=$(mktemp -d "$folder.XXXXXX")
  (cd "$work" && npm pack --silent "$package@$version" >/dev/null && tar xzf ./*.tgz && rm ./*.tgz)
  mv "$work" "$folder"  # whole or not at all
  echo "fetched $package@$version"
done
