#!/usr/bin/env python3
"""What Python's re (Unicode mode) and a small word model make of search
and replace cases, for the search filters' comparison test.

Input (the file named by the first argument), one item a line, fields
separated by tabs, byte strings in hex:
  text ENCODING HEX [TYPED]              a text the cases below refer to;
      TYPED is the encoding its cases' patterns, words and replacements are
      typed in (the text's own when absent)
  regex TEXT FIRST LATER TEMPLATE CASE WHOLE
      FIRST is the pattern tried where a search starts ("^" matches
      there), LATER the same pattern for every later place ("^" never
      matches); TEMPLATE expands $0-$9, $a-$z and $$.
  exact TEXT FIND REPLACEMENT CASE WHOLE
  edit TEXT WORD REPLACEMENT CASE THRESHOLD
  soundex TEXT WORD REPLACEMENT
CASE is 1 when case is ignored, WHOLE 1 for whole words only.

A letter typed in UTF-8 finds its code-page form in a text of that code
page; what a replacement's template holds as typed is written in the code
page where a letter beyond ASCII of the text stands before the end of the
match and the code page holds every letter typed, else in UTF-8.

Output, one line a case: the longest match in bytes and the result's bytes
in hex, or "skip" when re took too long or refused the pattern.
"""

import re
import signal
import sys
import unicodedata

IDENTIFIERS = "0123456789abcdefghijklmnopqrstuvwxyz"
SOUNDEX = {c: d for d, letters in (("1", "BFPV"), ("2", "CGJKQSXZ"), ("3", "DT"), ("4", "L"),
                                   ("5", "MN"), ("6", "R")) for c in letters}


class Timeout(Exception):
    pass


def on_alarm(signum, frame):
    raise Timeout()


def is_word(c):
    return c.isalpha() or c.isdigit()


def is_mark(c):
    """A combining mark, which belongs to the word of the letter before it."""
    return unicodedata.category(c) in ("Mn", "Mc", "Me")


class Typed(str):
    """Text of a replacement typed by the user, not taken from the text."""


def expand(template, match):
    """The replacement as pieces: what the template holds as typed, and the
    groups' text."""
    out = []
    i = 0
    while i < len(template):
        c = template[i]
        if c != "$":
            out.append(Typed(c))
            i += 1
            continue
        if i + 1 == len(template):
            out.append(Typed("$"))
            break
        n = template[i + 1]
        i += 2
        if n == "$":
            out.append(Typed("$"))
        elif "0" <= n <= "9" or "A" <= n <= "z":
            k = IDENTIFIERS.find(n.lower())
            group = match.group(k) if 0 <= k <= match.re.groups else None
            out.append(group or "")
        else:
            out.append(Typed("$" + n))
    return out


def whole(text, start, end):
    i = start - 1
    while i >= 0 and is_mark(text[i]):
        i -= 1
    if i >= 0 and is_word(text[i]):
        return False
    if end >= len(text):
        return True
    after, last = text[end], text[end - 1]
    return not is_word(after) and not (is_mark(after) and (is_word(last) or is_mark(last)))


def written(pieces, text, end, encoding, typed):
    """The bytes of a replacement's pieces put into `text` at a match that
    ends at `end`."""
    typed_text = "".join(p for p in pieces if isinstance(p, Typed))
    form = encoding
    if typed != encoding:
        form = typed
        if any(ord(c) >= 128 for c in text[:end]):
            try:
                typed_text.encode(encoding)
                form = encoding
            except UnicodeEncodeError:
                pass
    return b"".join(p.encode(form if isinstance(p, Typed) else encoding) for p in pieces)


def replace_all(text, find_first, find_later, replacement, whole_words, encoding,
                typed=None):
    """The pattern filter's loop: a search starts at `pos`, where "^" holds;
    an empty match hands on one character; a match that is not a whole word
    hands on its first character. The result is bytes."""
    typed = typed or encoding
    out = []
    pos = 0
    longest = 0
    n = len(text)
    while pos < n:
        m = find_first(text, pos) or find_later(text, pos + 1)
        if m is None or m.start() >= n:
            break
        start, end = m.span()
        if end == start:
            out.append(text[pos].encode(encoding))
            pos += 1
            continue
        longest = max(longest, len(m.group(0).encode(encoding)))
        if whole_words and not whole(text, start, end):
            out.append(text[pos:start + 1].encode(encoding))
            pos = start + 1
            continue
        out.append(text[pos:start].encode(encoding))
        out.append(written(replacement(m), text, end, encoding, typed))
        pos = end
    out.append(text[pos:].encode(encoding))
    return b"".join(out), longest


def fold(c):
    lower = c.lower()
    if len(lower) != 1:
        return c
    return {"\u03c2": "\u03c3", "\u017f": "s"}.get(lower, lower)


def distance(a, b):
    row = list(range(len(b) + 1))
    for i, x in enumerate(a):
        new = [i + 1]
        for j, y in enumerate(b):
            new.append(row[j] if x == y else 1 + min(row[j + 1], new[j], row[j]))
        row = new
    return row[-1]


def replace_words(text, matches, replacement, encoding, typed):
    out = []
    i = 0
    n = len(text)
    while i < n:
        if not text[i].isalpha():
            out.append(text[i].encode(encoding))
            i += 1
            continue
        j = i + 1
        while j < n and (is_word(text[j]) or text[j] == "-" or is_mark(text[j])):
            j += 1
        word = text[i:j]
        if matches(word):
            out.append(written([Typed(replacement)], text, j, encoding, typed))
        else:
            out.append(word.encode(encoding))
        i = j
    return b"".join(out)


def upper(c, encoding):
    u = c.upper()
    if len(u) != 1:
        return c
    try:
        u.encode(encoding)
    except UnicodeEncodeError:
        return c
    return u


def soundex(word, encoding):
    code = ""
    count = 0
    previous = None
    for c in word:
        u = upper(c, encoding)
        if u == previous:
            continue
        previous = u
        if not code:
            code = u
            count = 1
        elif u in SOUNDEX:
            code += SOUNDEX[u]
            count += 1
        if count == 4:
            break
    return code + "0" * (4 - count) if code else ""


def main():
    signal.signal(signal.SIGALRM, on_alarm)
    texts = []
    with open(sys.argv[1], encoding="ascii") as cases:
        for line in cases:
            f = line.rstrip("\n").split("\t")
            kind = f[0]
            if kind == "text":
                texts.append((bytes.fromhex(f[2]).decode(f[1]), f[1],
                              f[3] if len(f) > 3 else f[1]))
                continue
            text, encoding, typed = texts[int(f[1])]
            s = lambda hex_text: bytes.fromhex(hex_text).decode(typed)
            try:
                signal.setitimer(signal.ITIMER_REAL, 0.25)
                if kind == "regex":
                    flags = re.DOTALL | (re.IGNORECASE if f[5] == "1" else 0)
                    first = re.compile(s(f[2]), flags).match
                    later = re.compile(s(f[3]), flags).search
                    template = s(f[4])
                    result, longest = replace_all(text, first, later,
                                                  lambda m: expand(template, m), f[6] == "1",
                                                  encoding, typed)
                elif kind == "exact":
                    flags = re.IGNORECASE if f[4] == "1" else 0
                    find = re.compile(re.escape(s(f[2])), flags)
                    replacement = s(f[3])
                    result, longest = replace_all(text, find.match, find.search,
                                                  lambda m: [Typed(replacement)], f[5] == "1",
                                                  encoding, typed)
                elif kind == "edit":
                    word = s(f[2])
                    key = (lambda w: [fold(c) for c in w]) if f[4] == "1" else list
                    wanted = key(word)
                    limit = int(f[5])
                    result = replace_words(text, lambda w: distance(wanted, key(w)) <= limit,
                                           s(f[3]), encoding, typed)
                    longest = 0
                else:
                    wanted = soundex(s(f[2]), encoding)
                    result = replace_words(text, lambda w: soundex(w, encoding) == wanted,
                                           s(f[3]), encoding, typed)
                    longest = 0
                signal.setitimer(signal.ITIMER_REAL, 0)
            except (Timeout, re.error, RecursionError):
                signal.setitimer(signal.ITIMER_REAL, 0)
                print("skip")
                continue
            print(longest, result.hex())


if __name__ == "__main__":
    main()
