#!/usr/bin/env bash
# Builds pontrel-cli and carries the bundled sample school in both directions: the export writes
# Velmora's tables, the sample's timetable SOLUC.DBF (made at build time by a small placer standing in
# for Velmora) is put beside them, and the import writes the timetable document for Yedra.
# Everything is left in build/sample-run/ (replaced on the next run) to be looked at afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target pontrel-cli sample_timetable -j2 >/dev/null

cli=build/release/bin/pontrel-cli
run=build/sample-run
rm -rf "$run"
mkdir -p "$run/VTEMP"
# The import writes its document beside the Yedra document: a copy keeps data/sample as it is.
cp data/sample/colegio.xml "$run/"

echo "== Exportar (Yedra -> Velmora): $cli export $run/colegio.xml --workdir $run/VTEMP --frames JOR1"
# The sample lists two school-day frames: the morning one (JOR1) is the one Velmora gets.
"$cli" export "$run/colegio.xml" --workdir "$run/VTEMP" --frames JOR1

echo
echo "== Una tabla por dentro: $cli dump $run/VTEMP/PROFT.DBF (primeras líneas)"
"$cli" dump "$run/VTEMP/PROFT.DBF" | head -n 4

echo
echo "== Velmora calcula el horario: SOLUC.DBF del ejemplo, copiado a $run/VTEMP"
cp build/release/data/sample/SOLUC.DBF "$run/VTEMP/"

echo
echo "== Importar (Velmora -> Yedra): $cli import $run/colegio.xml --workdir $run/VTEMP"
"$cli" import "$run/colegio.xml" --workdir "$run/VTEMP"

echo
echo "Resultado, que se conserva:"
echo "  tablas de Velmora:      $PWD/$run/VTEMP/"
echo "  documento de horarios: $PWD/$run/ResultadoDastelcolegio.xml"
echo "Para ver una tabla:      $cli dump $run/VTEMP/GRUPOST.DBF"
echo "Para borrarlo todo:      rm -rf $run"
