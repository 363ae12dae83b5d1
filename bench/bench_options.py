"""The options the bench's python drivers share. Standard library only.

Every driver runs pixolune-cli (--cli) over the photo corpus (--corpus), works
in a scratch folder (--scratch), writes its results to a folder (--out) and
measures in paired rounds (--rounds, a positive number); the shell scripts
pass them on from their own -b, -r and -n.
"""

import argparse


def positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not a positive number")
    return value


def parser(doc, *required):
    """A parser described by the first line of doc, with the shared
    options and the further required ones named."""
    options = argparse.ArgumentParser(description=doc.strip().split("\n")[0])
    for name in ("--cli", "--corpus", "--scratch", "--out") + required:
        options.add_argument(name, required=True)
    options.add_argument("--rounds", type=positive, default=7)
    return options
