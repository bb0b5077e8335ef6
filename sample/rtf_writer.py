"""Writes contract templates as RTF 1.5 in code page 1251 (Cyrillic as \\'xx escapes), the
way a word processor saves them: A4, Times New Roman 12 pt, centred headings, numbered
clauses, bold and italic runs, tables."""

import re


def escape(text):
    out = []
    for ch in text:
        if ch in '\\{}':
            out.append('\\' + ch)
        elif ch == '\u00a0':
            out.append('\\~')
        elif ch == '\u2014':
            out.append('\\emdash ')
        elif ch == '\u2013':
            out.append('\\endash ')
        elif ch == '\u00ab':
            out.append("\\'ab")
        elif ch == '\u00bb':
            out.append("\\'bb")
        elif ord(ch) < 128:
            out.append(ch)
        else:
            for byte in ch.encode('cp1251'):
                out.append("\\'%02x" % byte)
    return ''.join(out)


def inline(text):
    """**bold** and *italic* marks inside a paragraph."""
    text = text.replace('г..', 'г.')
    parts = re.split(r'(\*\*.+?\*\*|\*.+?\*)', text)
    out = []
    for part in parts:
        if part.startswith('**') and part.endswith('**') and len(part) > 4:
            out.append('{\\b ' + escape(part[2:-2]) + '}')
        elif part.startswith('*') and part.endswith('*') and len(part) > 2:
            out.append('{\\i ' + escape(part[1:-1]) + '}')
        else:
            out.append(escape(part))
    return ''.join(out)


class Document:
    def __init__(self, title):
        self.parts = []
        self.title = title

    def heading(self, text, size=28, space_before=0):
        self.parts.append('\\pard\\plain\\qc\\sb%d\\sa120\\keepn\\f0\\fs%d\\b %s\\b0\\par\n'
                          % (space_before, size, inline(text)))

    def subheading(self, text):
        self.parts.append('\\pard\\plain\\qc\\sb240\\sa120\\keepn\\f0\\fs24\\b %s\\b0\\par\n'
                          % inline(text))

    def centered(self, text, italic=False):
        body = ('{\\i %s}' % inline(text)) if italic else inline(text)
        self.parts.append('\\pard\\plain\\qc\\sa120\\f0\\fs24 %s\\par\n' % body)

    def place_and_date(self, place, date):
        self.parts.append('\\pard\\plain\\tqr\\tx9355\\sa240\\f0\\fs24 %s\\tab %s\\par\n'
                          % (inline(place), inline(date)))

    def para(self, text, indent=True):
        first = '\\fi567' if indent else ''
        self.parts.append('\\pard\\plain\\qj%s\\sa60\\f0\\fs24 %s\\par\n' % (first, inline(text)))

    def clause(self, number, text):
        self.parts.append('\\pard\\plain\\qj\\fi567\\sa60\\f0\\fs24 {\\b %s.} %s\\par\n'
                          % (escape(number), inline(text)))

    def bullet(self, text):
        self.parts.append('\\pard\\plain\\qj\\li851\\fi-284\\sa40\\f0\\fs24 \\endash\\tab %s\\par\n'
                          % inline(text))

    def page_break(self):
        self.parts.append('\\pard\\plain\\page\\par\n')

    def table(self, widths, rows, header=True, borders=True):
        """widths in twips; rows of cell texts (lines separated by \\n)."""
        for r, row in enumerate(rows):
            edge = 0
            defs = ['\\trowd\\trgaph108\\trleft0']
            for w in widths:
                edge += w
                if borders:
                    defs.append('\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10'
                                '\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10')
                defs.append('\\cellx%d' % edge)
            cells = []
            for text in row:
                bold = header and r == 0
                lines = [inline(line) for line in text.split('\n')]
                body = '\\line '.join(lines)
                if bold:
                    body = '{\\b ' + body + '}'
                align = '\\qc' if bold else '\\ql'
                cells.append('\\pard\\plain\\intbl%s\\f0\\fs22 %s\\cell' % (align, body))
            self.parts.append(''.join(defs) + '\n' + '\n'.join(cells) + '\n\\row\n')
        self.parts.append('\\pard\\plain\\sa120\\f0\\fs24\\par\n')

    def signatures(self, left_title, left_lines, right_title, right_lines):
        left = '**' + left_title + '**\n' + '\n'.join(left_lines)
        right = '**' + right_title + '**\n' + '\n'.join(right_lines)
        self.parts.append('\\pard\\plain\\sb240\\sa120\\keepn\\qc\\f0\\fs24\\b '
                          + escape('АДРЕСА, РЕКВИЗИТЫ И ПОДПИСИ СТОРОН') + '\\b0\\par\n')
        self.table([4819, 4819], [[left, right]], header=False, borders=True)

    def text_length(self):
        plain = re.sub(r"\\'[0-9a-f]{2}", 'x', ''.join(self.parts))
        plain = re.sub(r'\\[a-z]+-?\d* ?', '', plain)
        return len(re.sub(r'[{}\n]', '', plain))

    def rtf(self):
        head = ('{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049'
                '{\\fonttbl{\\f0\\froman\\fprq2\\fcharset204 Times New Roman;}'
                '{\\f1\\fswiss\\fprq2\\fcharset204 Arial;}}\n'
                '{\\info{\\title ' + escape(self.title) + '}}\n'
                '\\paperw11906\\paperh16838\\margl1701\\margr850\\margt1134\\margb1134'
                '\\widowctrl\\lang1049\n')
        return head + ''.join(self.parts) + '}\n'
