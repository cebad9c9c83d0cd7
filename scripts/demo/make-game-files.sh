#!/usr/bin/env bash
# Writes the demo game's resource files into OUT (which must not exist yet): folders of maps,
# textures, sound banks, texts and small configuration files, generated from a fixed seed so
# every run produces the same bytes. PERCENT scales the sizes (100: about 48 MiB in 80 files,
# from incompressible banks to highly compressible texts).
#   make-game-files.sh OUT [PERCENT]
set -euo pipefail
out="$1"; percent="${2:-100}"
[ ! -e "$out" ] || { echo "make-game-files: $out exists already" >&2; exit 2; }
mkdir -p "$out"
perl - "$out" "$percent" <<'PERL'
use strict;
use warnings;
no warnings 'portable';  # 64-bit integers
my ($out, $percent) = @ARGV;

# xorshift64: shifts and exclusive-or on unsigned 64-bit integers (a shift drops the bits
# that leave the word).
my $state = 0x9E3779B97F4A7C15;
sub next_u64 {
    $state ^= $state << 13;
    $state ^= $state >> 7;
    $state ^= $state << 17;
    return $state;
}
sub below { my ($n) = @_; return next_u64() % $n; }

# A pool of random bytes; binary files are made of slices of it taken at random places.
my $pool = '';
$pool .= pack('Q<', next_u64()) for 1 .. 4 * 131072;
my $pool_size = length $pool;

sub scaled { my ($bytes) = @_; my $n = int($bytes * $percent / 100); return $n < 64 ? 64 : $n; }

sub write_file {
    my ($name, $bytes) = @_;
    my $path = "$out/$name";
    (my $dir = $path) =~ s{/[^/]+$}{};
    system('mkdir', '-p', $dir) == 0 or die "mkdir $dir";
    open(my $fh, '>:raw', $path) or die "$path: $!";
    print $fh $bytes;
    close $fh or die "$path: $!";
}

sub random_bytes {
    my ($size) = @_;
    my $bytes = '';
    while (length $bytes < $size) {
        my $take = 4096 + below(61440);
        $take = $size - length $bytes if $take > $size - length $bytes;
        $bytes .= substr($pool, below($pool_size - $take), $take);
    }
    return $bytes;
}

# Texture-like: rows that repeat with small changes, so they compress part of the way.
sub texture_bytes {
    my ($size) = @_;
    my $row = random_bytes(256);
    my $bytes = "DDS |" . pack('V', $size);
    while (length $bytes < $size) {
        substr($row, below(256), 1) = chr(below(256)) for 1 .. 24;
        $bytes .= $row;
    }
    return substr($bytes, 0, $size);
}

my @words = qw(armour tank convoy ridge bridge supply radio signal harbour depot engine
    turret track scout column river forest hill bunker airfield fuel shell crew order);
sub text_bytes {
    my ($size, $prefix) = @_;
    my $text = '';
    my $line = 0;
    while (length $text < $size) {
        $line++;
        my @line = map { $words[below(scalar @words)] } 1 .. 6 + below(8);
        $text .= sprintf("%s_%05d = %s\r\n", $prefix, $line, join(' ', @line));
    }
    return substr($text, 0, $size);
}

my $count = 0;
my $total = 0;
sub add { my ($name, $bytes) = @_; write_file($name, $bytes); $count++; $total += length $bytes; }

add(sprintf('data/maps/map_%02d.bin', $_), random_bytes(scaled(2097152 + below(2097152)))) for 1 .. 8;
add(sprintf('data/textures/%s/tex_%03d.dds', $_ % 2 ? 'units' : 'terrain', $_),
    texture_bytes(scaled(204800 + below(409600)))) for 1 .. 40;
add(sprintf('data/audio/bank_%02d.bnk', $_), random_bytes(scaled(1048576))) for 1 .. 6;
add("data/text/$_.txt", text_bytes(scaled(262144 + below(262144)), $_))
    for qw(lang_zh lang_en dialogue_01 dialogue_02 dialogue_03 missions);
add(sprintf('config/settings_%02d.json', $_),
    sprintf("{\"section\":%d,\"seed\":%u,\"enabled\":true}\r\n", $_, below(1000000))) for 1 .. 20;
printf "make-game-files: %d files, %d bytes\n", $count, $total;
PERL
