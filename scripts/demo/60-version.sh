# The "Version" page of each example jar (shell-meta-inf/version), read back
# from the page's own controls, then a picture of it inside Wine's own
# properties dialog, opened with the "properties" verb as Explorer does.
for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost version $(basename "$jar"): the Version page's fields, items and values"
  shellhost version "$jar"
done

VERSION_SHOT="$DEMO_OUT/version-page-hello.png"
HANDLER_KEY="HKCR\\jarfile\\shellex\\PropertySheetHandlers\\MorvaneVersion-$CLASS_TEXT"
# Xvfb runs no window manager, so Wine draws the window frames of shellhost
# itself (only for shellhost, and only while the picture is taken).
WINE_FRAMES='HKCU\Software\Wine\AppDefaults\shellhost.exe\X11 Driver'
wine reg add "$WINE_FRAMES" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
if wine reg query "$HANDLER_KEY" >/dev/null 2>&1 </dev/null; then
  section "the properties of hello.jar through the shell (registered handler), Version tab: picture"
  shellhost version "$EXAMPLES_OUT/hello.jar" --shell --screenshot "$VERSION_SHOT"
else
  section "the Version page of hello.jar in a property sheet built as the shell builds it: picture"
  shellhost version "$EXAMPLES_OUT/hello.jar" --screenshot "$VERSION_SHOT"
fi
wine reg delete "$WINE_FRAMES" /v Managed /f >/dev/null 2>&1 </dev/null || true
echo "the picture of the Version page: $VERSION_SHOT"
