#!/usr/bin/perl
# Turns the page that help2man makes of a Chinese --help into a Chinese manual page. help2man
# knows the English layout of a help only, so here its usage line becomes the synopsis (概述),
# the help's own headings 选项, 退出状态 and 示例 become sections, its argument list a part of
# 选项, and the English headings, date and name of the manual are put into Chinese. A help that
# lacks any of these stops the build, so that page and help cannot drift apart.
#
# Then lets groff break lines between Chinese characters: it breaks lines at spaces only, and
# Chinese text has none, so a long sentence would run past the right margin. Puts a zero-width
# break point (\:) between two wide characters on the text lines.
use strict;
use warnings;
use utf8;
use open qw(:std :encoding(UTF-8));

my $page = do { local $/; <> };

my %month = (January => 1, February => 2, March => 3, April => 4, May => 5, June => 6,
             July => 7, August => 8, September => 9, October => 10, November => 11,
             December => 12);
$page =~ s/^(\.TH \S+ "\d+" )"(\w+) (\d{4})" (".*") "User Commands"$/$1"$3年$month{$2}月" $4 "用户命令"/m
    or die "no title line with a date and the English name of the manual\n";
$page =~ s/^\.SH NAME$/.SH 名称/m or die "no NAME section\n";

# Chinese has no spaces to stretch, so lines are filled but not justified, nor are words
# hyphenated, which would cut option names such as --output-dir.
$page =~ s/^(\.TH .*\n)/$1.ad l\n.nh\n/m;

# "用法：PROGRAM ARGUMENTS", the first line of the help: the program in bold, the words of the
# arguments in italics, their brackets and dots as they are.
$page =~ s/^\.SH DESCRIPTION\n用法：(\S+) (.*)\n/synopsis($1, $2)/me
    or die "no usage line at the start of the help\n";
sub synopsis {
    my ($program, $arguments) = @_;
    $arguments =~ s/([^\s\[\].]+)/\\fI$1\\fR/g;
    return ".SH 概述\n.B $program\n$arguments\n.SH 描述\n";
}

for my $heading (qw(选项 退出状态 示例)) {
    $page =~ s/^(?:\.PP\n)?$heading：\n/.SH $heading\n/m or die "no $heading： in the help\n";
}
$page =~ s/^(?:\.PP\n)?参数：\n/.SS 参数\n/m;

# Each example's command line in bold, as a whole: help2man sets only its options in bold.
$page =~ s{(^\.SH 示例\n)(.*?)(?=^\.SH |\z)}{$1 . bold_commands($2)}mse;
sub bold_commands {
    my ($examples) = @_;
    $examples =~ s{^\.TP\n(.*)$}{my $command = $1; $command =~ s/\\f[BIR]//g; ".TP\n\\fB$command\\fR"}mge;
    return $examples;
}

# No break before a closing mark or after an opening one, as Chinese typesetting has it. None in
# the line under 名称 either: whatis and apropos would show each break point as a colon. That
# line cannot break then, so it is kept short.
my $wide = qr/[\p{Han}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]/;
my $closing = qr/[、。〉》」』】〕），：；！？]/;
my $opening = qr/[〈《「『【〔（]/;
my $section = '';
for my $line (split /^/, $page) {
    $section = $1 if $line =~ /^\.SH (.*)$/;
    $line =~ s/(?<=$wide)(?<!$opening)(?=$wide)(?!$closing)/\\:/g
        unless $line =~ /^[.']/ or $section eq '名称';
    print $line;
}
