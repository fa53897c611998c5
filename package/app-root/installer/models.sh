#!/bin/bash
# Prepares the data the panel works with. The sample backend has no models to fetch; it
# only makes the folder where uploaded session recordings are kept.
set -euo pipefail
root=$1
mkdir -p "$root/data/nagrania"
echo "      Katalog nagrań: $root/data/nagrania"
echo "      Przykładowy backend nie wymaga modeli."
