#!/usr/bin/env python3
"""Counts the results of every suite: each GoogleTest program by its test
cases (from its --gtest_output XML), every other test (fixtures, fuzz smoke
runs, the DLL check) as one. A program that failed without reporting a failed
case (a crash, a sanitizer report, a leak) counts as one failure more.

usage: summarize.py RESULT_DIR...   (each holding ctest.xml and <test>.xml files)
Prints the failed names, the skipped test programs (skipped.txt: a test
program per line, with the reason, written by scripts/wine-ctest.sh) and a
last line "N passed, M failed"; exit 1 on failures.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    passed = failed = 0
    failures = []
    for case in root.iter('testcase'):
        if case.get('status', 'run') != 'run' or case.get('result') == 'skipped':
            continue
        if case.find('failure') is not None:
            failed += 1
            failures.append(case.get('classname', '') + '.' + case.get('name', ''))
        else:
            passed += 1
    return passed, failed, failures


def main():
    passed = failed = 0
    failures = []
    skipped = []
    for result_dir in sys.argv[1:]:
        skip_list = os.path.join(result_dir, 'skipped.txt')
        if os.path.exists(skip_list):
            with open(skip_list, encoding='utf-8') as f:
                skipped += [line.strip() for line in f if line.strip()]
        ctest = os.path.join(result_dir, 'ctest.xml')
        if not os.path.exists(ctest) and os.path.exists(skip_list):
            continue  # a tree whose whole suite was skipped
        if not os.path.exists(ctest):
            failed += 1
            failures.append(f'{result_dir}: no ctest results')
            continue
        for case in ET.parse(ctest).getroot().iter('testcase'):
            name = case.get('name')
            ok = case.get('status') == 'run' and case.find('failure') is None
            gxml = os.path.join(result_dir, name + '.xml')
            if os.path.exists(gxml):
                try:
                    p, f, names = gtest_counts(gxml)
                except ET.ParseError:
                    p, f, names = 0, 0, []
                passed += p
                failed += f
                failures += [f'{name}: {n}' for n in names]
                if not ok and f == 0:
                    failed += 1
                    failures.append(f'{name}: the program failed ({case.get("status")})')
            elif ok:
                passed += 1
            else:
                failed += 1
                failures.append(f'{name} ({case.get("status")})')
    if passed + failed == 0:
        failed = 1
        failures.append('no test ran at all')
    for s in skipped:
        print('SKIPPED:', s)
    for f in failures:
        print('FAILED:', f)
    tail = f', {len(skipped)} test programs skipped' if skipped else ''
    print(f'{passed} passed, {failed} failed{tail}')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
