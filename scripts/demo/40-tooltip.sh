# The tooltip of each example jar in a handful of languages: the full locale
# name wins, then the language, then default=.
for jar in "$EXAMPLES_OUT"/*.jar; do
  section "tooltip of $(basename "$jar") (shell-meta-inf/description)"
  for locale in "0x0409 English (United States)" "0x0407 German (Germany)" "0x0C07 German (Austria)" \
                "0x040C French (France)" "0x0411 Japanese: no line of its own, so default="; do
    lcid=${locale%% *}
    printf -- '-- %s, %s:\n' "$lcid" "${locale#* }"
    shellhost tip "$jar" --lcid "$lcid" | sed 's/^/   /'
  done
done
