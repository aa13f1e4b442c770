#!/usr/bin/env bash
# The setup program as scripts/package.sh makes it from the built trees:
# signed with a throw-away certificate authority and code-signing certificate
# made here by openssl, every PE file inside it (unpacked by 7-Zip) and the
# setup program itself verify against that authority, and one changed byte
# fails the verification; unsigned it says so. The winget manifest beside it
# is read by PyYAML and has this version, the setup program's SHA-256 and the
# exit codes of installer/Common.nsh, each of which the README explains.
#
# With an ARM64 tree, the setup program holds the ARM64 DLL and inspect
# program beside the x86 and x64 ones.
#
# usage: package_test.sh WIN32_TREE WIN64_TREE [ARM64_TREE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
trees=()
for t in "$@"; do trees+=("$(cd "$t" && pwd)"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(cat "$root/VERSION")

# The authority and a certificate it issued for code signing.
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Morvane Test CA" -keyout ca.key -out ca.pem \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=The Morvane developers" -keyout sign.key -out sign.csr 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >sign.ext
openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile sign.ext \
  -out sign.pem 2>/dev/null
openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -passout pass:test-password -out sign.p12

unsigned="$work/unsigned/Morvane-$version-setup.exe"
signed="$work/signed/Morvane-$version-setup.exe"
bash "$root/scripts/package.sh" --version "$version" --trees "${trees[@]}" --out "$unsigned" \
  >/dev/null 2>unsigned.log || { cat unsigned.log; fail "unsigned build"; }
grep -q "nothing is signed" unsigned.log || fail "an unsigned build does not say so"
MORVANE_SIGN_PKCS12=sign.p12 MORVANE_SIGN_PASSWORD=test-password \
  bash "$root/scripts/package.sh" --version "$version" --trees "${trees[@]}" --out "$signed" \
  >/dev/null 2>signed.log || { cat signed.log; fail "signed build"; }
if grep -q test-password signed.log; then fail "the password shows in the output"; fi

verify() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
# machine FILE: the PE file's machine type, in hex.
machine() { od -An -tx2 -j $(($(od -An -tu4 -j 60 -N4 "$1") + 4)) -N2 "$1" | tr -d ' '; }
if [ ${#trees[@]} = 3 ]; then files=10 machines="014c 8664 aa64"; else files=8 machines="014c 8664"; fi
# Every PE file that ships, as the setup program holds it, and the setup
# program itself: signed when built signed, unsigned otherwise.
for build in unsigned signed; do
  setup="$work/$build/Morvane-$version-setup.exe"
  mkdir "$work/$build/files"
  # Files of the same name in one folder are kept apart (Morvane_1.dll).
  7zz x -aou -o"$work/$build/files" "$setup" >/dev/null || fail "7-Zip cannot unpack the $build setup program"
  shipped=("$setup")
  while IFS= read -r f; do shipped+=("$f"); done < <(find "$work/$build/files" -type f \( -name '*.dll' -o -name '*.exe' \) \
    | sort)
  [ ${#shipped[@]} = $files ] || fail "$build: ${#shipped[@]} files, not the setup program, $((files / 2 - 2)) DLLs and as many inspect programs, the uninstaller and 2 plugins"
  dlls=$(for f in $(find "$work/$build/files" -name 'Morvane*.dll'); do machine "$f"; done | sort | xargs)
  [ "$dlls" = "$machines" ] || fail "$build: DLLs for the machines $dlls, not $machines"
  for f in "${shipped[@]}"; do
    if [ $build = signed ]; then
      verify "$f" || { cat "$work/verify.log"; fail "signed $f does not verify"; }
      grep -q "The Morvane developers" "$work/verify.log" || fail "$f is signed by someone else"
    elif verify "$f"; then
      fail "unsigned $f verifies"
    fi
  done
done
echo "setup program: $(stat -c %s "$unsigned") bytes unsigned, $(stat -c %s "$signed") bytes signed"

# One changed byte in the signed code fails the verification.
cp "$signed" tampered.exe
printf 'X' | dd of=tampered.exe bs=1 seek=4096 conv=notrunc 2>/dev/null
if verify tampered.exe; then fail "a changed byte still verifies"; fi

# The manifest.
python3 - "$work/signed" "$version" "$(sha256sum "$signed" | cut -d' ' -f1)" "$root" <<'EOF'
import pathlib, re, sys, yaml
folder, version, sha256, root = pathlib.Path(sys.argv[1]) / "winget", sys.argv[2], sys.argv[3].upper(), pathlib.Path(sys.argv[4])
docs = {p.name: yaml.safe_load(p.read_text()) for p in folder.glob("*.yaml")}
assert sorted(docs) == ["Morvane.Morvane.installer.yaml", "Morvane.Morvane.locale.en-US.yaml", "Morvane.Morvane.yaml"], sorted(docs)
types = {d["ManifestType"] for d in docs.values()}
assert types == {"version", "installer", "defaultLocale"}, types
for d in docs.values():
    assert d["PackageIdentifier"] == "Morvane.Morvane" and d["PackageVersion"] == version, d
    assert "@" not in yaml.safe_dump(d), d
inst = docs["Morvane.Morvane.installer.yaml"]
assert {i["Architecture"]: i["InstallerSha256"] for i in inst["Installers"]} == dict.fromkeys(["x64", "x86", "arm64"], sha256), inst["Installers"]
assert inst["InstallerSwitches"]["Silent"] == "/S" and inst["ElevationRequirement"] == "elevatesSelf"
assert inst["AppsAndFeaturesEntries"][0]["DisplayVersion"] == version
# The exit codes the setup program ends with, and those the manifest maps.
common = (root / "installer/Common.nsh").read_text()
codes = {int(c) for c in re.findall(r"^!define EXIT_\w+ (\d+)", common, re.M)}
mapped = {c["InstallerReturnCode"] for c in inst["ExpectedReturnCodes"]}
assert mapped <= codes and codes - mapped == {740, 1603}, (codes, mapped)
readme = (root / "README.md").read_text()
for code in codes | {0}:
    assert re.search(rf"^\| `{code}` \|", readme, re.M), f"the README's table of exit codes lacks {code}"
EOF
echo "package test: passed"
