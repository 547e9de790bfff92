#!/usr/bin/env bash
# Seed corpus of the fuzz targets, made by the project's own programs:
# tarnprep answers set up runs, tarn runs them to make dumps, tarnfoil makes
# aerofoils.
#   fuzz/make-corpus.sh BIN_DIR CORPUS_DIR
# BIN_DIR holds tarn, tarnprep and tarnfoil; CORPUS_DIR receives one folder of
# seeds per target (aerofoil, names, run_data, dump, prep, import).
set -euo pipefail
bin="$(cd "$1" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for target in aerofoil names run_data dump prep import; do
  rm -rf "${out:?}/$target"
  mkdir -p "$out/$target"
done

# Aerofoils: symmetric and cambered four- and five-digit sections, sharp and
# blunt trailing edges, few and many points.
for section in "0012 61 --closed" "2412 41" "4415 101 --closed" "0006 21" "6409 250" "23012 81 --closed"; do
  set -- $section
  "$bin/tarnfoil" naca "$1" --points "$2" ${3:-} > "$out/aerofoil/NACA$1-$2${3:+-closed}.DAT"
done
cp "$out/aerofoil/NACA0012-61-closed.DAT" NACA0012.DAT

# Coordinate files for import: the native files as they stand, and two of
# them rewritten in the Selig form (from the trailing edge over the upper
# surface and back along the lower) and the Lednicer form (counts, then each
# surface from the leading edge).
cp "$out"/aerofoil/*.DAT "$out/import/"
for section in 2412-41 23012-81-closed; do
  awk 'NR == 1 { print; next } NR == 2 { nu = $2; next } { p[NR - 2] = $0 }
       END { for (i = nu; i >= 1; --i) print p[i]; for (i = nu + 2; i in p; ++i) print p[i] }' \
    "$out/aerofoil/NACA$section.DAT" > "$out/import/NACA$section.selig"
  awk 'NR == 1 { print; next } NR == 2 { nu = $2; nl = $3; print nu ".  " nl "."; next } { p[NR - 2] = $0 }
       END { print ""; for (i = 1; i <= nu; ++i) print p[i]; print ""; for (i = nu + 1; i in p; ++i) print p[i] }' \
    "$out/aerofoil/NACA$section.DAT" > "$out/import/NACA$section.lednicer"
done

# Dialogues, one answer a line. Short stages on the 96-line mesh where the
# defaults are changed; "c" changes a parameter, "d" keeps it.
cat > "$out/prep/viscous-new" <<'ANSWERS'
CASE
SEED VISCOUS NEW RUN, M = 0.75, ALPHA = 2
1
1
NACA0012.DAT
n
y
y
0.75
2
0
6
0.05
0.05
y
c
96
c
12
c
12
d
d
d
d
d
d
d
d
d
d
ANSWERS
cat > "$out/prep/inviscid-new" <<'ANSWERS'
INV
SEED INVISCID NEW RUN, M = 0.5, ALPHA = 1
0
1
NACA0012.DAT
y
n
y
0.5
1
y
c
96
c
8
c
12
c
1.8
d
c
0.5
d
ANSWERS
cat > "$out/prep/lift-target" <<'ANSWERS'
LIFT
SEED VISCOUS RUN TO CL = 0.4
1
1
NACA0012.DAT
n
n
y
0.7
1
1
0.4
3
0.1
0.2
y
c
96
c
0
c
12
d
c
0.9
c
0.2
c
3
d
d
c
0.001
c
0.002
d
d
ANSWERS
cat > "$out/prep/viscous-continuation" <<'ANSWERS'
CONT
SEED VISCOUS CONTINUATION FROM CASE
1
0
CASE
y
0.75
2
0
6
0.05
0.05
y
c
96
c
6
c
6
d
d
d
d
d
d
d
d
d
d
ANSWERS
cat > "$out/prep/inviscid-continuation" <<'ANSWERS'
INVC
SEED INVISCID CONTINUATION FROM CASE
0
0
CASE
n
0.7
1
n
ANSWERS
# Refused answers, each asked again: run name, 0/1 answers, aerofoil name,
# Mach number, incidence, Reynolds number, transition, parameter values.
cat > "$out/prep/refused-answers" <<'ANSWERS'
A-B
REFUSED
SEED WITH REFUSED ANSWERS
2
1
x
1
NACA.0012.DAT
NACA0012.DAT
n
n
n
1.2
0.02
0.75
25
2
0
0.01
6
1.5
0.05
0
0.05
y
c
95
96
c
-1
12
c
0
12
c
2.5
1.9
d
d
c
25
5
d
d
d
d
c
1.5
0.8
d
ANSWERS

for answers in viscous-new inviscid-new lift-target viscous-continuation inviscid-continuation; do
  "$bin/tarnprep" < "$out/prep/$answers" > /dev/null
done
"$bin/tarnprep" < "$out/prep/refused-answers" > /dev/null
for run in CASE INV LIFT CONT INVC; do cp "$run.TIN" "$out/run_data/$run.TIN"; done
cp CASE.NAM CONT.NAM "$out/names/"

# Dumps: viscous and inviscid new runs, and a continuation of the first.
for run in CASE INV LIFT CONT; do
  "$bin/tarn" "$run" > /dev/null
  cp "$run.UNF" "$out/dump/$run.UNF"
done
