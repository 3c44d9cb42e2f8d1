#!/usr/bin/python3
"""Writes the seed inputs of the fuzz targets (one folder per target), from the regression
files of the tests and a few small hand-made files. Run it from this folder."""
import glob
import io
import json
import os
import shutil
import zipfile

regressions = '../../tests/fixtures/regressions'

def put(target, name, data):
    os.makedirs(target, exist_ok=True)
    mode = 'wb' if isinstance(data, bytes) else 'w'
    with open(os.path.join(target, name), mode) as f:
        f.write(data)

def copy(target, pattern, prefix=b''):
    for path in sorted(glob.glob(os.path.join(regressions, pattern))):
        with open(path, 'rb') as f:
            put(target, os.path.basename(path), prefix + f.read())

# Documents.
plmmap = {"map": {"entities": [{"id": "a", "name": "A", "attributes": {"code": "01"},
                                "geometry": {"polygon": {"_0": {"exterior": [{"x": 0, "y": 0}, {"x": 1, "y": 0},
                                                                             {"x": 1, "y": 1}, {"x": 0, "y": 0}],
                                                                "holes": []}}},
                                "style": {"stroke": {"red": 0, "green": 0, "blue": 0, "alpha": 1},
                                          "lineWidth": 1, "pointRadius": 3}}],
                  "metadata": {}, "name": "Carte"},
          "version": 1}
put('PlmMapFuzz', 'map.plmmap', json.dumps(plmmap, indent=2, sort_keys=True))
put('PlmMapFuzz', 'empty.plmmap', '{"map": {"entities": [], "metadata": {}, "name": ""}, "version": 1}')
put('PlmWorkFuzz', 'work.plm', json.dumps({"version": 1, "work": {"name": "Travail", "map": plmmap["map"],
                                                                   "variables": [], "rows": []}}, sort_keys=True))
put('PlmWorkFuzz', 'nested.plm', '{"version": 1, "work": {"map": {"entities": [{"geometry": {"group": {"_0": []}}}]}}}')

# Base maps.
copy('GeoJsonFuzz', '*.geojson')
put('GeoJsonFuzz', 'mixed.geojson', json.dumps({"type": "FeatureCollection", "features": [
    {"type": "Feature", "properties": {"nom": "Lyon", "fill": "#abc"}, "geometry": {"type": "MultiPolygon", "coordinates": [[[[0, 0], [1, 0], [1, 1], [0, 0]], [[0.2, 0.2], [0.4, 0.2], [0.4, 0.4], [0.2, 0.2]]]]}},
    {"type": "Feature", "id": 7, "properties": None, "geometry": {"type": "GeometryCollection", "geometries": [{"type": "MultiPoint", "coordinates": [[1, 2], [3, 4]]}, {"type": "MultiLineString", "coordinates": [[[0, 0], [5, 5]]]}]}},
    {"type": "Feature", "properties": {}, "geometry": None}]}))
put('GeoJsonFuzz', 'numbers-no-double-holds.geojson', '''{"type": "FeatureCollection", "features": [
{"type": "Feature", "id": "f1", "properties": {"p0": 1e400, "p1": [-1E400, 1e-400], "stroke": "blue", "stroke-width": 1e400},
 "geometry": {"type": "LineString", "coordinates": [[0, 0], [1, 1e-300]]}},
{"type": "Feature", "id": "f2", "properties": {"p0": 1e300, "p2": {"b": -1e400, "a": [1e400]}}, "geometry": {"type": "Point", "coordinates": [1, -1e300]}}]}
''')
copy('SvgFuzz', '*.svg')
put('SvgFuzz', 'css-wide-keywords.svg', '''<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
<style>path { stroke-width: 3 } .u { stroke-width: unset; fill: revert } .l { stroke: revert-layer; clip-path: revert-layer }</style>
<g fill="red" stroke="blue" stroke-width="5" opacity="0.5" stroke-dasharray="2 1">
<path d="M0 0h10v10z" stroke-width="initial" fill="INHERIT" opacity="inherit"/>
<path class="u" d="M20 0h10v10z" stroke-width="0" style="stroke-width:revert;opacity:0.3;opacity:unset"/>
<path class="l" d="M40 0h10v10z" stroke="green" clip-path="url(#c)" style="stroke-dasharray:initial"/>
<g style="opacity:revert-layer" opacity="0.2"><circle r="3" style="fill:revert-layer" fill="unset"/></g>
</g></svg>''')
put('SvgFuzz', 'revert-layer-attributes.svg', '''<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
<style>rect { fill: revert-layer; stroke: revert-layer } .s { stroke-width: revert-layer }</style>
<g fill="red" stroke="blue" stroke-width="revert-layer">
<rect width="10" height="10" fill="revert-layer" stroke="revert-layer"/>
<rect class="s" x="20" width="10" height="10" fill="revert-layer" stroke-width="revert-layer" style="fill:revert-layer;stroke-width:revert-layer"/>
<circle r="3" display="revert-layer" clip-path="revert-layer" style="display:revert-layer"/>
</g></svg>''')
put('SvgFuzz', 'shapes.svg', '''<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" viewBox="0 0 200 100">
<style>.a { fill: #f80; stroke: rgb(10%, 20%, 30%) } #b { opacity: .5 }</style>
<defs><symbol id="s"><circle r="3"/></symbol><linearGradient id="g"/></defs>
<g id="layer" inkscape:label="Calque" transform="translate(10 10) scale(2)">
<path class="a" d="M0 0h10v10H0zM2 2l3 3c1 1 2 2 3 3s1 2 2 2q1 1 2 0t1 1a5 5 0 0 1 5 5z" fill-rule="evenodd"/>
<rect x="1" y="2" width="30%" height="20" rx="2"/><ellipse cx="5" cy="5" rx="2" ry="1"/>
<polyline points="0,0 1,1 2,0"/><polygon points="0 0 5 0 5 5"/><line x1="0" y1="0" x2="1em" y2="2mm"/>
<use xlink:href="#s" x="20" y="20"/><text x="5" y="5" font-size="12pt" font-family="'Nimbus Sans', sans-serif">Ça</text>
</g></svg>''')
copy('EpsFuzz', '*.eps')
copy('EpsFuzz', '*.ai')
put('EpsFuzz', 'illustrator.ai', '''%!PS-Adobe-3.0 EPSF-3.0
%%Creator: Adobe Illustrator(R) 8.0
%%BoundingBox: 0 0 200 200
%%EndSetup
%AI5_BeginLayer
(Calque 1) Ln
0 0 0 1 k 0.5 G 2 w 1 j 0 J [3 2] 1 d
*u
10 10 m 100 10 l 100 100 L 50 150 50 150 10 100 c 10 10 v f
*U
q 1 0 0 1 20 20 cm 0 0 m 30 0 l 30 30 l h W n 0 0 m 40 40 l S Q
0 To 1 0 0 1 50 50 0 Tp TP /_Helvetica 12 Tf (Bonjour) Tx TO
%AI5_EndLayer
''')
put('EpsFuzz', 'plain.eps', '''%!PS-Adobe-3.0 EPSF-3.0
%%BoundingBox: 0 0 100 100
%%EndProlog
gsave 1 0 0 setrgbcolor 2 setlinewidth newpath 50 50 20 0 360 arc closepath stroke grestore
0 0 1 0 setcmykcolor 10 10 moveto 20 0 rlineto 0 20 rlineto -20 0 rlineto closepath eofill
/Helvetica findfont 10 scalefont setfont 10 80 moveto (Texte) show
[1 0 0 1 5 5] concat 45 rotate 2 2 scale 1 1 translate 0 0 moveto 5 5 lineto 5 5 10 10 15 0 curveto stroke
showpage
''')

# The Shapefile set: a selector byte, then the member.
members = {'shp': 0, 'shx': 1, 'dbf': 2, 'prj': 3, 'cpg': 4}
for path in sorted(glob.glob(os.path.join(regressions, '*'))):
    extension = path.rsplit('.', 1)[-1]
    if extension in members:
        with open(path, 'rb') as f:
            put('ShapefileSetFuzz', os.path.basename(path), bytes([members[extension]]) + f.read())
for path in sorted(glob.glob(os.path.join(regressions, '*.dbf'))):
    with open(path, 'rb') as f:
        data = f.read()
    for page in range(4):
        put('DbfFuzz', f'{page}-' + os.path.basename(path), bytes([page]) + data)

# Tables.
copy('XlsxFuzz', '*.xlsx')
book = io.BytesIO()
with zipfile.ZipFile(book, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('xl/workbook.xml', '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr date1904="1"/><sheets><sheet name="A" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>')
    z.writestr('xl/worksheets/sheet1.xml', '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="C1" t="b"><v>1</v></c></row><row r="3"><c r="B3" t="e"><v>#N/A</v></c><c r="D3"><f>A1</f><v>2.5</v></c></row></sheetData><mergeCells count="1"><mergeCell ref="A1:B1"/></mergeCells></worksheet>')
    z.writestr('xl/sharedStrings.xml', '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t xml:space="preserve"> Nom </t></si></sst>')
put('XlsxFuzz', 'date1904.xlsx', book.getvalue())
members = [b'<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Feuil1" sheetId="1" r:id="rId1"/></sheets></workbook>',
         b'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>',
         b'<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>Pop</t></is></c></row><row r="2"><c r="A2" t="str"><v>x</v></c><c r="B2" s="1"><v>44927</v></c></row></sheetData></worksheet>',
         b'<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Nom</t></si><si><r><t>a</t></r></si></sst>',
         b'<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts><numFmt numFmtId="164" formatCode="0.0%"/></numFmts><cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs></styleSheet>']
member_names = ['workbook', 'relationships', 'worksheet', 'shared-strings', 'styles']
for k, member in enumerate(members):
    put('XlsxMemberFuzz', f'{member_names[k]}.xml', bytes([k]) + member)
put('DelimitedTextFuzz', 'semicolons.csv', 'sep=;\nCode;Nom;Population\n01;"Ain, ""01""";652 432\n02;Aisne;-12,5 %\n')
put('DelimitedTextFuzz', 'utf16.csv', '\ufeffNom\tValeur\r\nA\t1\r\nB\t\r\n'.encode('utf-16-le'))
put('DelimitedTextFuzz', 'latin1.txt', 'Région,Taux\nÎle-de-France,1.5\n'.encode('latin-1'))

# Older Pelmora files: a selector byte (0–4 base-map layouts, 5 table), then the bytes.
legacy_table = bytearray(2052)
legacy_table[4:6] = b'\x00\x01'
legacy_table[6:8] = b'\x00\x09'
put('LegacyFuzz', 'table.tab', bytes([5]) + bytes(legacy_table))
for layout in range(5):
    put('LegacyFuzz', f'layout{layout}.num', bytes([layout]) + bytes(512))

# Online indexes: a selector byte (provider), then the index.
put('OnlineIndexFuzz', 'france.json', bytes([0]) + json.dumps({"resources": [{"title": "communes-100m", "url": "https://example.org/communes-100m.geojson", "format": "geojson"}]}).encode())
put('OnlineIndexFuzz', 'ign.xml', bytes([1]) + b'<?xml version="1.0"?><wfs:WFS_Capabilities xmlns:wfs="http://www.opengis.net/wfs/2.0"><FeatureTypeList><FeatureType><Name>ADMINEXPRESS-COG.2024:commune</Name><Title>Communes</Title></FeatureType></FeatureTypeList></wfs:WFS_Capabilities>')
put('OnlineIndexFuzz', 'nuts.json', bytes([2]) + json.dumps({"2021": {"geojson": {"NUTS_RG_20M_2021_4326_LEVL_2.geojson": "geojson/NUTS_RG_20M_2021_4326_LEVL_2.geojson"}}}).encode())
put('OnlineIndexFuzz', 'countries.json', bytes([3]) + json.dumps({"2020": {"geojson": {"CNTR_RG_60M_2020_4326.geojson": "geojson/CNTR_RG_60M_2020_4326.geojson"}}}).encode())
put('OnlineIndexFuzz', 'urban.json', bytes([4]) + json.dumps({"2018": {"geojson": {"URAU_RG_100K_2018_4326_CITIES.geojson": "x"}}}).encode())
put('OnlineIndexFuzz', 'naturalearth.json', bytes([5]) + json.dumps([{"name": "ne_110m_admin_0_countries.geojson", "path": "geojson/ne_110m_admin_0_countries.geojson", "type": "file", "download_url": "https://raw.githubusercontent.com/x/ne_110m_admin_0_countries.geojson"}]).encode())

# The library manifest.
put('LibraryManifestFuzz', 'manifest.json', json.dumps({"createdAt": "2026-01-01T00:00:00Z", "formatVersion": 1, "identifier": "5C2E0B0E-3E0C-4D5B-9D47-0E0A1C1F2B3A", "kind": "library"}, indent=2, sort_keys=True))
put('LibraryManifestFuzz', 'wrong.json', '{"formatVersion": "1"}')
