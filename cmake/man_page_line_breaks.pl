#!/usr/bin/perl
# Lets groff break lines of a manual page between Chinese characters: it breaks lines at spaces
# only, and Chinese text has none, so a long sentence would run past the right margin. Puts a
# zero-width break point (\:) between two wide characters on every text line.
use strict;
use warnings;
use open qw(:std :encoding(UTF-8));

my $wide = qr/[\p{Han}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]/;
while (my $line = <>) {
    $line =~ s/(?<=$wide)(?=$wide)/\\:/g unless $line =~ /^[.']/;
    print $line;
}
