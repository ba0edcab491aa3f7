# The brands the packages are made for, read from the locator's own table
# (src/locator/brand_table.h), in its order, so that a new or renamed brand cannot go out of step:
# each entry is "slug|brand folder|product folder|Manufacturer value", the slug being the brand
# folder in lower case with dashes for blanks. Sourced from the repository's root by
# scripts/package.sh and the package test.
# shellcheck disable=SC2034
BRANDS=()
while IFS='|' read -r ventrel_brand ventrel_product ventrel_manufacturer; do
  ventrel_slug="$(printf '%s' "$ventrel_brand" | tr '[:upper:] ' '[:lower:]-')"
  BRANDS+=("$ventrel_slug|$ventrel_brand|$ventrel_product|$ventrel_manufacturer")
done < <(sed -n 's/^ *{"\([^"]*\)", "\([^"]*\)", "\([^"]*\)", [0-9]*, [0-9]*},$/\1|\2|\3/p' \
  src/locator/brand_table.h)
# A row written in another shape would be left out without a word: the count must be the table's.
ventrel_rows="$(sed -n 's/.*std::array<Brand, \([0-9]*\)> BrandTable.*/\1/p' src/locator/brand_table.h)"
if [ "${#BRANDS[@]}" -eq 0 ] || [ "${#BRANDS[@]}" != "$ventrel_rows" ]; then
  echo "read ${#BRANDS[@]} brand(s) of ${ventrel_rows:-?} from src/locator/brand_table.h" >&2
  exit 1
fi
unset ventrel_rows ventrel_slug ventrel_brand ventrel_product ventrel_manufacturer
