"""Sums in words, as contracts write them: 150 000 (сто пятьдесят тысяч) рублей 00 копеек."""

UNITS_M = ['', 'один', 'два', 'три', 'четыре', 'пять', 'шесть', 'семь', 'восемь', 'девять']
UNITS_F = ['', 'одна', 'две', 'три', 'четыре', 'пять', 'шесть', 'семь', 'восемь', 'девять']
TEENS = ['десять', 'одиннадцать', 'двенадцать', 'тринадцать', 'четырнадцать', 'пятнадцать',
         'шестнадцать', 'семнадцать', 'восемнадцать', 'девятнадцать']
TENS = ['', '', 'двадцать', 'тридцать', 'сорок', 'пятьдесят', 'шестьдесят', 'семьдесят',
        'восемьдесят', 'девяносто']
HUNDREDS = ['', 'сто', 'двести', 'триста', 'четыреста', 'пятьсот', 'шестьсот', 'семьсот',
            'восемьсот', 'девятьсот']


def plural(n, one, few, many):
    n = abs(n) % 100
    if 10 < n < 20:
        return many
    n %= 10
    if n == 1:
        return one
    if 2 <= n <= 4:
        return few
    return many


def triad(n, feminine):
    words = [HUNDREDS[n // 100]]
    rest = n % 100
    if 10 <= rest < 20:
        words.append(TEENS[rest - 10])
    else:
        words.append(TENS[rest // 10])
        words.append((UNITS_F if feminine else UNITS_M)[rest % 10])
    return [w for w in words if w]


def words(n):
    if n == 0:
        return 'ноль'
    parts = []
    millions, rest = divmod(n, 1_000_000)
    thousands, units = divmod(rest, 1000)
    if millions:
        parts += triad(millions, False) + [plural(millions, 'миллион', 'миллиона', 'миллионов')]
    if thousands:
        parts += triad(thousands, True) + [plural(thousands, 'тысяча', 'тысячи', 'тысяч')]
    if units:
        parts += triad(units, False)
    return ' '.join(parts)


def grouped(n):
    return '{:,}'.format(n).replace(',', '\u00a0')


def rubles(n):
    return '%s (%s) %s 00 копеек' % (grouped(n), words(n), plural(n, 'рубль', 'рубля', 'рублей'))


def days(n, kind='календарных'):
    if kind == 'рабочих':
        unit = plural(n, 'рабочий день', 'рабочих дня', 'рабочих дней')
    else:
        unit = plural(n, 'календарный день', 'календарных дня', 'календарных дней')
    return '%d (%s) %s' % (n, words(n), unit)
