# The brands the packages are made for, in the locator's order: slug, brand folder, product
# folder and the Manufacturer value of the local layout's marker. Sourced by scripts/package.sh.
# shellcheck disable=SC2034
BRANDS=(
  "dremont|Dremont|Zorvik - LAN PANORAMIC|Dremont"
  "marvello|Marvello|Unnamed Marvello product|Marvello"
  "celdrin-imaging|Celdrin Imaging|Panoramic Quarvis 3D|Celdrin Imaging"
)
