# Taking the DLLs away again, one at a time: while one of them is still
# registered, the file type keeps the handler keys and the saved icon, so the
# other one goes on working; the last one puts the former default icon back.
regsvr32_dll "32-bit DLL" wine regsvr32 /u "$(winpath "$BUILD32/bin/Morvane.dll")" || true
show_registry
regsvr32_dll "64-bit DLL" /usr/lib/wine/wine64 regsvr32 /u "$(winpath "$BUILD/bin/Morvane.dll")" || true
show_registry
