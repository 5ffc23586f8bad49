"""The documentation names no file that does not exist: every relative link of the
README and of docs/ leads to a file of the tree (and to a heading of it when the link
names one), and every page of docs/ is reachable from the README."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
link = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def slug(heading):
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def anchors(page):
    return {slug(line.lstrip("#")) for line in page.read_text().splitlines() if line.startswith("#")}


pages = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
faults = []
reached = set()
for page in pages:
    for target in link.findall(page.read_text()):
        if re.match(r"[a-z]+:", target):
            continue  # a web address
        path, _, anchor = target.partition("#")
        file = (page.parent / path).resolve() if path else page
        if not file.exists():
            faults.append(f"{page.relative_to(root)}: {target}: no such file")
        elif anchor and file.suffix == ".md" and anchor not in anchors(file):
            faults.append(f"{page.relative_to(root)}: {target}: no such heading")
        if page.name == "README.md":
            reached.add(file)
for page in pages[1:]:
    if page.resolve() not in reached:
        faults.append(f"docs/{page.name}: not linked from the README")
print("\n".join(faults) or f"{len(pages)} pages, every link leads somewhere")
sys.exit(1 if faults else 0)
