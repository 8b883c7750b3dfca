#!/usr/bin/env python3
"""utf8_corpora.py FOLDER: writes the two 64 MB UTF-8 corpora that upper case
is timed over (the same bytes on every run), each ending at a line end:

u8corpus.txt  lines of 4 to 14 words drawn from a few words of each of eight
              languages, one language a line (German, French, Russian, Greek,
              Polish, Chinese, Japanese, English)
u8euro.txt    prose-like lines of 4 to 15 words of German, French, Spanish,
              Polish or English, most words plain, some with one or two
              accented letters, the first word capitalised
"""
import random
import sys

SIZE = 64 << 20


def write(path, make_line, seed):
    random.seed(seed)
    lines, size = [], 0
    while size < SIZE:
        lines.append(make_line().encode())
        size += len(lines[-1])
    data = b"".join(lines)[:SIZE]
    with open(path, "wb") as out:
        out.write(data[:data.rfind(b"\n") + 1])


CORPUS = {
    'de': "Grüße aus Köln Straße Maß Bäcker schön größer Übung Äpfel über müssen Fußball",
    'fr': "été hôpital œuvre déjà très français garçon naïve Noël à côté fenêtre",
    'ru': "Съешь же ещё этих мягких французских булок да выпей чаю Москва ЁЛКА",
    'el': "ΟΔΟΣ σοφός Ελληνικά καλημέρα Αθήνα θάλασσα ΣΟΦΟΣ ψυχή",
    'pl': "Zażółć gęślą jaźń Łódź źdźbło żółw",
    'zh': "中文 字符 汉字 繁體 北京 上海 你好 世界",
    'ja': "日本語 テキスト カタカナ ひらがな 東京 こんにちは",
    'en': "the quick brown fox jumps over lazy dog and then some more text"}

EURO = {
    'de': "die der das und ist mit für auf nicht über schön Bäcker größer müssen "
          "Straße Haus Kinder Zeit Stadt heute immer wieder",
    'fr': "le les une et à est dans pour avec très déjà été français garçon maison "
          "ville temps enfants toujours aujourd'hui",
    'es': "el la los una y en es con para hoy año niño ciudad corazón también "
          "siempre mañana España tiempo",
    'pl': "w z na i się nie do jest dom gęś łódź żółw jaźń dzieci miasto czas to że",
    'en': "the quick brown fox jumps over lazy dog and then some more text people "
          "about time"}


def corpus_line():
    words = CORPUS[random.choice(list(CORPUS))].split()
    return " ".join(random.choice(words) for _ in range(random.randint(4, 14))) + ".\n"


def euro_line():
    words = EURO[random.choice(list(EURO))].split()
    line = [random.choice(words) for _ in range(random.randint(4, 15))]
    line[0] = line[0][0].upper() + line[0][1:]
    return " ".join(line) + ".\n"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: utf8_corpora.py FOLDER")
    write(sys.argv[1] + "/u8corpus.txt", corpus_line, 54)
    write(sys.argv[1] + "/u8euro.txt", euro_line, 1252)
