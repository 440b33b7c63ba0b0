#!/usr/bin/env python3
"""Checks README.md and docs/*.md: every relative link and image exists, every #anchor names a
heading (GitHub's slug rule), and every command a fenced block names exists in the repository or
is a program the CMake files build. Prints FILE:LINE: message per fault; exit code 1 on any.
    check_docs.py [--root DIR] [--allow-missing PATH]... [--self-test]"""
import argparse, glob, json, os, re, sys

PATH_PREFIXES = ("scripts/", "build/", "tools/", "testkit/", "tests/", "bench/", "fuzz/")
# Commands from outside the repository that the docs may name at the start of a line.
OUTSIDE = {"cmake", "ctest", "python3", "git", "valgrind", "clang-format", "copy", "REM"}
SHELL_FENCES = {"sh", "bash", "bat", "console"}
LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
ALLOW_MISSING = set()  # --allow-missing: pages being written elsewhere, relative to the root
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")


def slug(heading):  # GitHub: drop markup and punctuation, lower case, blanks to hyphens
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    return re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")


def scan(lines):
    """Yields (number, line, fence): fence is None outside a fenced block, else its info word."""
    fence = None
    for number, line in enumerate(lines, 1):
        if line.lstrip().startswith("```"):
            fence = (line.strip()[3:].strip() or "-") if fence is None else None
            continue
        yield number, line, fence


def anchors(path):
    seen, out = {}, set()
    with open(path, encoding="utf-8") as f:
        for _, line, fence in scan(f.read().splitlines()):
            m = HEADING.match(line) if fence is None else None
            if m:
                base = slug(m.group(2))
                n = seen.get(base, 0)
                seen[base] = n + 1
                out.add(base if n == 0 else "%s-%d" % (base, n))
    return out


def built_programs(root):
    """{directory relative to root: names of the programs its CMakeLists.txt declares}, for every
    directory the top CMakeLists.txt reaches through add_subdirectory()."""
    programs, todo = {}, ["."]
    while todo:
        rel = todo.pop()
        cmake = os.path.join(root, rel, "CMakeLists.txt")
        if rel in programs or not os.path.isfile(cmake):
            continue
        text = open(cmake, encoding="utf-8").read()
        todo += [os.path.normpath(os.path.join(rel, d))
                 for d in re.findall(r"add_subdirectory\(\s*([\w./-]+)", text)]
        names = re.findall(r"(?:add_executable|add_custom_target)\(\s*([\w.-]+)", text)
        names += re.findall(r"OUTPUT_NAME\s+([\w.-]+)", text)
        # A function that wraps add_executable(${name} ...) declares each name it is called with.
        wrapper = r"function\((\w+)[^)]*\)(?:(?!endfunction)[\s\S])*?add_executable\(\$\{"
        for fn in re.findall(wrapper, text):
            names += re.findall(r"^%s\(\s*([\w.-]+)" % fn, text, re.M)
        programs[rel] = set(names)
    for script in glob.glob(os.path.join(root, "installer", "*.nsi")):  # it writes the uninstaller
        text = open(script, encoding="utf-8").read()
        names = re.findall(r'WriteUninstaller\s+"[^"]*?([\w-]+)\.exe"', text)
        programs.setdefault("installer", set()).update(names)
    return programs


def check_command(token, root, programs, presets):
    """None when `token` names something that exists or is built, else the reason it does not."""
    token = token.strip('"')
    every = set().union(*programs.values())
    if token.startswith("build/"):
        parts = token.split("/")
        if len(parts) < 4 or parts[1] not in presets:
            return "%s: not build/<preset>/<dir>/<program>" % token
        folder, name = "/".join(parts[2:-1]), re.sub(r"\.exe$", "", parts[-1])
        if name not in programs.get(folder, set()):
            return "%s: %s/CMakeLists.txt builds no program %s" % (token, folder, name)
        return None
    if token.startswith(PATH_PREFIXES):
        return None if os.path.exists(os.path.join(root, token)) else "%s: no such file" % token
    name = re.split(r"[\\/]", token)[-1]
    if name.lower().endswith(".exe"):
        return None if name[:-4] in every else "%s: no CMake target builds it" % name
    if name in every or name in OUTSIDE:
        return None
    return "%s: neither a repository path, a built program nor a known command" % token


def command_of(line):
    words = line.split()
    while words and re.match(r"^\w+=", words[0]):  # VAR=value before the command
        words.pop(0)
    if words and words[0] in ("python3", "bash", "nice") and len(words) > 1:
        words.pop(0)
    return words[0] if words else None


def check_file(path, root, programs, presets):
    faults, rel = [], os.path.relpath(path, root)
    lines = open(path, encoding="utf-8").read().splitlines()
    continued = False
    for number, line, fence in scan(lines):
        where = "%s:%d: " % (rel, number)
        if fence is None:
            for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
                if re.match(r"^[a-z]+:", target):
                    continue
                file_part, _, anchor = target.partition("#")
                dest = path if not file_part else os.path.normpath(
                    os.path.join(os.path.dirname(path), file_part))
                if os.path.relpath(dest, root) in ALLOW_MISSING:
                    continue
                if not os.path.exists(dest):
                    faults.append(where + "link target %s does not exist" % target)
                elif anchor and dest.endswith(".md") and anchor not in anchors(dest):
                    dest = os.path.relpath(dest, root)
                    faults.append(where + "no heading #%s in %s" % (anchor, dest))
            continue
        text = line.strip()
        if fence == "console":
            text = text[2:] if text.startswith("$ ") else ""
        command = None if continued or not text or text.startswith("#") else command_of(text)
        continued = text.endswith("\\")
        if command is None or fence == "text":
            continue
        if (fence in SHELL_FENCES or command.startswith(PATH_PREFIXES)
                or command.lower().endswith(".exe")):
            reason = check_command(command, root, programs, presets)
            if reason:
                faults.append(where + reason)
    return faults


def check(root):
    with open(os.path.join(root, "CMakePresets.json"), encoding="utf-8") as f:
        configure = json.load(f)["configurePresets"]
    # build/<folder>: the folder a configure preset builds in (binaryDir's last part).
    presets = {p.get("binaryDir", p["name"]).rsplit("/", 1)[-1] for p in configure}
    programs = built_programs(root)
    faults = []
    pages = sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    for path in [os.path.join(root, "README.md")] + pages:
        faults += check_file(path, root, programs, presets)
    return faults


SELF_TESTS = [  # (Markdown of docs/page.md, a fault it must give, or None for no fault)
    ("[ok](../README.md#top) [self](#a-b) ![pic](pic.png)\n## A: b\n", None),
    ("[gone](missing.md)\n", "link target missing.md does not exist"),
    ("[bad anchor](../README.md#nowhere)\n", "no heading #nowhere in README.md"),
    ("## Same\n## Same\n[second](#same-1)\n", None),
    ("`[not a link](nowhere.md)`\n", None),
    ("```sh\nscripts/run.sh --x \\\n  not/a/command\n```\n", None),
    ("```sh\nscripts/gone.sh\n```\n", "scripts/gone.sh: no such file"),
    ("```\nFOO=1 build/host/app/prog --help\n```\n", None),
    ("```\nbuild/host/app/other\n```\n", "app/CMakeLists.txt builds no program other"),
    ("```\nbuild/nopreset/app/prog\n```\n", "not build/<preset>/<dir>/<program>"),
    ("```bat\nprog /S\nREM fine\nFancy.exe\n```\n", None),
    ("```bat\nprogg /S\n```\n", "progg: neither a repository path"),
    ("```\nMissing.exe /S\n```\n", "Missing.exe: no CMake target builds it"),
    ("```console\n$ python3 scripts/run.sh\noutput/line that is not checked\n```\n", None),
    ("```text\nanything at all\n```\n", None),
]


APP_CMAKE = """function(tool name)
  add_executable(${name})
endfunction()
add_executable(prog x.cpp)
tool(Fancy)
"""


def self_test():
    import tempfile
    failures = 0
    for markdown, expected in SELF_TESTS:
        with tempfile.TemporaryDirectory() as root:
            for name, text in {"CMakePresets.json": '{"configurePresets": [{"name": "host"}]}',
                               "README.md": "# Top\n", "docs/pic.png": "", "scripts/run.sh": "",
                               "CMakeLists.txt": "add_subdirectory(app)\n",
                               "app/CMakeLists.txt": APP_CMAKE,
                               "installer/x.nsi": "", "docs/page.md": markdown}.items():
                os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
                open(os.path.join(root, name), "w").write(text)
            faults = check(root)
            ok = (not faults) if expected is None else any(expected in f for f in faults)
            if not ok:
                failures += 1
                print("self-test: %r gave %r, expected %r" % (markdown, faults, expected))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--root", default=os.path.join(here, "..", ".."))
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--allow-missing", action="append", default=[], metavar="PATH")
    args = parser.parse_args()
    if args.self_test:
        failures = self_test()
        print("self-test: %d of %d cases failed" % (failures, len(SELF_TESTS)))
        return 1 if failures else 0
    root = os.path.abspath(args.root)
    ALLOW_MISSING.update(os.path.normpath(p) for p in args.allow_missing)
    faults = check(root)
    for fault in faults:
        print(fault)
    print("%d fault(s) in README.md and docs/*.md" % len(faults) if faults
          else "README.md and docs/*.md: links and commands fine")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
