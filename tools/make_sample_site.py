#!/usr/bin/env python3
"""Writes the sample site of sample-site/: the pages cinevarta-demo asks the local sample server for.

Both sources live in the one folder, named by the request targets as tools/site_map.h maps them:

  find@q=<title>;tt=1             IMDb search page of a title (lower case), find@default when none
  title/<id>.html                 IMDb film page
  title/<id>/plotsummary.html     IMDb plot-summary page
  bus/resu.php@texto=<title>&donde=1   Culturalia search page, bus/resu.php@default when none
  art/ver.php@art=<number>        Culturalia film page
  imatges/articulos/<path>        Culturalia cover picture (JPEG)
  index.html                      Culturalia home page (the web view's start page)

Every text is this project's own, written as the sites wrote their pages in the early 2000s and
saved in Windows-1252, as they served them. The pages carry exactly the markers the program reads;
the rest of their HTML is there to make them look like real pages, not to be read.

Usage: tools/make_sample_site.py [--covers-tool build/tools/make-sample-covers]
Without --covers-tool the pictures already in the folder are kept (they are committed).
The output is the same on every run.
"""

import argparse
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SITE = os.path.join(ROOT, "sample-site")

# The professional-site host that IMDb film pages link to. The program finds a film's title id
# in that absolute link only, so cinevarta-demo is built with this same name (it is never asked
# for anything; keeping it apart from the server's address keeps the pages free of its port).
IMDB_PRO_HOST = "pro.imdb.com"

# --- IMDb ----------------------------------------------------------------------------------------

# Each film: id, <title> text, genres, countries, directors (id, name), Spanish certificate,
# rating, cast (id, name, character), plot paragraphs (text, writer query or None).
IMDB_FILMS = [
    dict(
        id="tt0083658", title="Blade Runner (1982)", year="1982",
        genres=["Sci-Fi", "Thriller"], countries=["USA", "Hong Kong"],
        directors=[("nm0000631", "Ridley Scott")], spain="18", rating="8.3/10", votes="118,421",
        cast=[("nm0000148", "Harrison Ford", "Rick Deckard"),
              ("nm0000442", "Rutger Hauer", "Roy Batty"),
              ("nm0001919", "Sean Young", "Rachael"),
              ("nm0001588", "Edward James Olmos", "Gaff"),
              ("nm0001026", "Daryl Hannah", "Pris")],
        outline="A retired hunter of artificial people takes one last job in a city of rain.",
        plot=[("Los Angeles, November 2019. A rain that never stops falls on a city of towers and "
               "neon. Rick Deckard, a tired former blade runner, is made to hunt four replicants "
               "who have come back from the off-world colonies to meet the man who built them.",
               "Marta%20Olivares%20%7Bmolivares@example.org%7D"),
              ("While he follows their trail from a snake dealer to a toy maker's flat, Deckard "
               "meets Rachael, who does not know that she is a replicant herself, and starts to "
               "wonder what separates the hunter from the hunted.",
               "Tom%20Hale")]),
    dict(
        id="tt1856101", title="Blade Runner 2049 (2017)", year="2017",
        genres=["Sci-Fi", "Drama", "Mystery"], countries=["USA", "UK", "Canada"],
        directors=[("nm0898288", "Denis Villeneuve")], spain="13", rating="8.0/10",
        votes="512,330",
        cast=[("nm0331516", "Ryan Gosling", "K"),
              ("nm0000148", "Harrison Ford", "Rick Deckard"),
              ("nm1869101", "Ana de Armas", "Joi"),
              ("nm2244205", "Sylvia Hoeks", "Luv"),
              ("nm0001467", "Robin Wright", "Lieutenant Joshi")],
        outline="A young blade runner finds a secret buried for thirty years.",
        plot=[("Thirty years after the events of the first film, K, a replicant who hunts the "
               "older models for the police, digs up a box of bones under a dead tree on a "
               "protein farm. What he finds inside could break the wall between humans and "
               "replicants, and his superiors want it buried again.",
               "Ignacio%20Ruiz")]),
    dict(
        id="tt9359796", title="&#34;Blade Runner: Black Lotus&#34; (2021)", year="2021",
        genres=["Animation", "Action", "Sci-Fi"], countries=["USA", "Japan"],
        directors=[("nm0411316", "Kenji Kamiyama"), ("nm0032563", "Shinji Aramaki")],
        spain="16", rating="6.4/10", votes="9,874",
        cast=[("nm4213047", "Jessica Henwick", "Elle"),
              ("nm0003047", "Will Yun Lee", "Joseph"),
              ("nm0000948", "Wes Bentley", "Marlowe")],
        outline="A young woman wakes in Los Angeles in 2032 with no memory and a skill for combat.",
        plot=[("Los Angeles, 2032. Elle wakes up hurt and alone, with no memory of who she is "
               "and a black lotus tattooed on her shoulder. Piece by piece she puts her past "
               "together and sets out to find the people who hurt her.",
               None)]),
    dict(
        id="tt0078748", title="Alien (1979)", year="1979",
        genres=["Horror", "Sci-Fi"], countries=["UK", "USA"],
        directors=[("nm0000631", "Ridley Scott")], spain="18", rating="8.4/10", votes="201,877",
        cast=[("nm0000244", "Sigourney Weaver", "Ripley"),
              ("nm0000693", "Tom Skerritt", "Dallas"),
              ("nm0001641", "Veronica Cartwright", "Lambert"),
              ("nm0000441", "John Hurt", "Kane"),
              ("nm0001352", "Ian Holm", "Ash")],
        outline="A towing ship answers a signal from a dead moon and takes something on board.",
        plot=[("The crew of the towing ship Nostromo, on its way home with a cargo of ore, is "
               "woken early to answer a signal from an unknown moon. On its surface they find "
               "a derelict ship, and one of them comes back with a creature holding on to his "
               "face.",
               "Carlos%20Prieto%20%7Bcprieto@example.org%7D")]),
    dict(
        id="tt0090605", title="Aliens (1986)", year="1986",
        genres=["Action", "Sci-Fi", "Thriller"], countries=["USA", "UK"],
        directors=[("nm0000116", "James Cameron")], spain="18", rating="8.3/10",
        votes="179,006",
        cast=[("nm0000244", "Sigourney Weaver", "Ripley"),
              ("nm0000955", "Michael Biehn", "Corporal Hicks"),
              ("nm0001005", "Carrie Henn", "Newt"),
              ("nm0000448", "Lance Henriksen", "Bishop"),
              ("nm0000200", "Bill Paxton", "Private Hudson")],
        outline="Ripley goes back to the moon of the first film, this time with soldiers.",
        plot=[("Fifty-seven years adrift in space, Ripley is found and brought home, where nobody "
               "believes her story. When contact with the settlers of the moon is lost, she "
               "agrees to go back with a unit of colonial marines.",
               "Ann%20Baxter"),
              ("Among the ruins of the settlement they find only a girl, Newt, who has survived "
               "alone in the air ducts.",
               "Ann%20Baxter")]),
    dict(
        id="tt0211915", title="Le fabuleux destin d'Am&#233;lie Poulain (2001)", year="2001",
        genres=["Comedy", "Romance"], countries=["France", "Germany"],
        directors=[("nm0000466", "Jean-Pierre Jeunet")], spain="13", rating="8.5/10",
        votes="162,540",
        cast=[("nm0851582", "Audrey Tautou", "Am\u00e9lie Poulain"),
              ("nm0440913", "Mathieu Kassovitz", "Nino Quincampoix"),
              ("nm0744302", "Rufus", "Raphael Poulain"),
              ("nm0565336", "Lorella Cravotta", "Amandine Poulain"),
              ("nm0000000", "Serge Merlin", "Raymond Dufayel")],
        outline="A shy waitress in Montmartre decides to change the lives of the people around her.",
        plot=[("Am\u00e9lie grows up alone with a cold father and a nervous mother, and becomes a "
               "waitress in a caf\u00e9 of Montmartre. The day she finds a box of childhood "
               "treasures hidden in her flat, she decides to give it back to its owner, and "
               "then to put right, in secret, the lives of everyone she meets.",
               "Joseph%20Lamas")]),
    dict(
        id="tt0457430", title="El laberinto del fauno (2006)", year="2006",
        genres=["Drama", "Fantasy", "War"], countries=["Mexico", "Spain", "USA"],
        directors=[("nm0868219", "Guillermo del Toro")], spain="18", rating="8.2/10",
        votes="140,223",
        cast=[("nm1488855", "Ivana Baquero", "Ofelia"),
              ("nm0471018", "Sergi L\u00f3pez", "Capit\u00e1n Vidal"),
              ("nm0898776", "Maribel Verd&#250;", "Mercedes"),
              ("nm0382411", "Doug Jones", "Fauno"),
              ("nm0316079", "Ariadna Gil", "Carmen")],
        outline="In the Spain of 1944 a girl follows a faun into an old labyrinth.",
        plot=[("Spain, 1944. Ofelia and her ailing mother move to a mill in the mountains where "
               "her new stepfather, a cruel captain, hunts the last men of the resistance. In "
               "an old stone labyrinth beside the mill a faun tells the girl that she is a lost "
               "princess, and gives her three tasks.",
               "Lucia%20Fernandez%20%7Blucia@example.org%7D")]),
]

# The search pages: the typed title (lower case, as the server folds it), the exact match (id,
# link text) or None, and the popular titles (id, link text). A "(VG)" title is a video game,
# which the program leaves out; a series' title stands in "&#34;" quotes as IMDb wrote it.
IMDB_SEARCHES = [
    ("blade runner",
     ("tt0083658", "Blade Runner (1982)"),
     [("tt1856101", "Blade Runner 2049 (2017)"),
      ("tt0126817", "Blade Runner (1997) (VG)"),
      ("tt9359796", "&#34;Blade Runner: Black Lotus&#34; (2021)"),
      ("tt0083658", "Blade Runner (1982)")]),
    ("blade runner 2049",
     ("tt1856101", "Blade Runner 2049 (2017)"),
     [("tt0083658", "Blade Runner (1982)")]),
    ("alien",
     ("tt0078748", "Alien (1979)"),
     [("tt0090605", "Aliens (1986)"),
      ("tt2139881", "Alien: Isolation (2014) (VG)")]),
    ("aliens",
     ("tt0090605", "Aliens (1986)"),
     [("tt0078748", "Alien (1979)")]),
    ("amelie",
     ("tt0211915", "Am\u00e9lie (2001)"),
     []),
    ("el laberinto del fauno",
     ("tt0457430", "El laberinto del fauno (2006)"),
     []),
    ("ridley scott",
     None,
     [("tt0083658", "Blade Runner (1982)"),
      ("tt0078748", "Alien (1979)")]),
]

# --- Culturalia ----------------------------------------------------------------------------------

# Each film: article number, title, year, genre, nationality, director (person number, name),
# moral classification, votes, score, cast (person number, name), synopsis (with the site's <br>
# between its paragraphs), cover (path below /imatges/articulos/, width, height, style).
CULTURALIA_FILMS = [
    dict(
        art=2210, title="Blade Runner", year="1982", genre="Ciencia ficci\u00f3n",
        nationality="EE.UU.", director=(1187, "Ridley Scott"), moral="Adultos",
        votes=1523, score="8,5", cast=[(310, "Harrison Ford"), (311, "Rutger Hauer"),
                                       (312, "Sean Young"), (313, "Edward James Olmos")],
        synopsis=("Los \u00c1ngeles, a\u00f1o 2019. Rick Deckard, un cazador de replicantes "
                  "retirado, recibe el encargo de encontrar y &#34;retirar&#34; a cuatro androides "
                  "que han vuelto a la Tierra en busca de su creador. <br>Una obra de culto que "
                  "mezcla el cine negro con la ciencia ficci\u00f3n y pregunta qu\u00e9 nos hace "
                  "humanos."),
        cover=("blade_runner_2210.jpg", 400, 580, 0)),
    dict(
        art=8817, title="Blade Runner 2049", year="2017", genre="Ciencia ficci\u00f3n",
        nationality="EE.UU., Reino Unido, Canad\u00e1", director=(9051, "Denis Villeneuve"),
        moral="J\u00f3venes-adultos", votes=402, score="7,5",
        cast=[(9120, "Ryan Gosling"), (310, "Harrison Ford"), (9121, "Ana de Armas"),
              (9122, "Sylvia Hoeks")],
        synopsis=("Treinta a\u00f1os despu\u00e9s, el agente K descubre un secreto enterrado que "
                  "podr\u00eda acabar con lo que queda de orden en la sociedad. <br>Su "
                  "investigaci\u00f3n le lleva a buscar a Rick Deckard, desaparecido desde hace "
                  "d\u00e9cadas."),
        cover=("blade_runner_2049_8817.jpg", 200, 290, 5)),
    dict(
        art=1187, title="El esp\u00edritu de la colmena", year="1973", genre="Drama",
        nationality="Espa&#241;a", director=(5012, "V\u00edctor Erice"), moral="J\u00f3venes",
        votes=688, score="9", cast=[(401, "Ana Torrent"), (402, "Isabel Tell\u00e9ria"),
                                    (403, "Fernando Fern\u00e1n G\u00f3mez"),
                                    (404, "Teresa Gimpera")],
        synopsis=("En un pueblo de la meseta castellana, hacia 1940, llega un cami\u00f3n con la "
                  "pel\u00edcula de Frankenstein. Ana, una ni\u00f1a de ocho a\u00f1os, queda "
                  "fascinada por el monstruo y su hermana Isabel le cuenta que es un "
                  "esp\u00edritu al que se puede llamar. <br>Una de las cumbres del cine "
                  "espa\u00f1ol, hecha de silencios, colmenas y luz de miel."),
        cover=("espiritu_colmena_1187.jpg", 1200, 1700, 1)),
    dict(
        art=4420, title="La lengua de las mariposas", year="1999", genre="Drama",
        nationality="Espa\u00f1a", director=(6110, "Jos\u00e9 Luis Cuerda"), moral="Todos",
        votes=915, score="8", cast=[(6201, "Fernando Fern\u00e1n G\u00f3mez"),
                                    (6202, "Manuel Lozano"), (6203, "Uxia Blanco"),
                                    (6204, "Gonzalo Uriarte")],
        synopsis=("Galicia, invierno de 1935. Moncho, un ni\u00f1o asm\u00e1tico de ocho "
                  "a\u00f1os, empieza la escuela con miedo a que el maestro le pegue. Don "
                  "Gregorio, un viejo republicano, le ense\u00f1a en cambio los secretos de la "
                  "naturaleza y la lengua de las mariposas. <br>En el verano de 1936 la guerra "
                  "lo cambia todo."),
        cover=("lengua_mariposas_4420.jpg", 300, 435, 2)),
    dict(
        art=6093, title="Mar adentro", year="2004", genre="Drama",
        nationality="Espa\u00f1a, Francia, Italia", director=(7001, "Alejandro Amen\u00e1bar"),
        moral="J\u00f3venes-adultos", votes=1290, score="8,5",
        cast=[(7101, "Javier Bardem"), (7102, "Bel\u00e9n Rueda"), (7103, "Lola Due\u00f1as"),
              (7104, "Mabel Rivera"), (7105, "Celso Bugallo")],
        synopsis=("Ram\u00f3n lleva casi treinta a\u00f1os en una cama, tetrapl\u00e9jico desde "
                  "un accidente en el mar, y pide que le dejen morir con dignidad. <br>Dos "
                  "mujeres entran en su vida: una abogada que apoya su causa y una vecina que "
                  "quiere convencerle de que vivir merece la pena."),
        cover=("2004/mar_adentro_6093.jpg", 400, 580, 4)),
]

# The search pages: the typed title (lower case), the result links (article number, link text),
# and the links of the "most read" box beside them (a film can stand in both).
CULTURALIA_SEARCHES = [
    ("blade runner", [(2210, "Blade Runner"), (8817, "Blade Runner 2049")], [2210]),
    ("colmena", [(1187, "El esp\u00edritu de la colmena")], [4420]),
    ("mariposas", [(4420, "La lengua de las mariposas")], []),
    ("mar adentro", [(6093, "Mar adentro")], [1187]),
    ("erice", [(1187, "El esp\u00edritu de la colmena")], []),
]

# --- Writing -------------------------------------------------------------------------------------


def write(rel, text):
    path = os.path.join(SITE, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # The sites served Windows-1252 with CR LF line ends.
    data = text.replace("\n", "\r\n").encode("cp1252")
    with open(path, "wb") as f:
        f.write(data)


def imdb_film_page(f):
    name = f["title"]
    directors = "<br>\n".join(
        '<a href="/name/%s/">%s</a>' % (nm, who) for nm, who in f["directors"])
    genres = " / ".join('<a href="/Sections/Genres/%s/">%s</a>' % (g, g) for g in f["genres"])
    countries = " / ".join(
        '<a href="/Sections/Countries/%s/">%s</a>' % (c, c) for c in f["countries"])
    rows = []
    for i, (nm, who, role) in enumerate(f["cast"]):
        rows.append('<tr class="%s"><td class="nm"><a href="/name/%s/">%s</a></td>'
                    '<td class="ddd"> ... </td><td class="char">%s</td></tr>'
                    % ("odd" if i % 2 == 0 else "even", nm, who, role))
    short = name.split(" (")[0]
    return f"""<html>
<head>
<title>{name}</title>
<link rel="stylesheet" type="text/css" href="/css/title.css">
</head>
<body>
<div id="tn15title"><h1>{short} <span>(<a href="/Sections/Years/{f["year"]}/">{f["year"]}</a>)</span></h1></div>
<div id="tn15content">
<div class="info"><b class="blackcatheader">Directed by</b><br>{directors}<br>
</div>
<div class="info"><h5>Genre:</h5>{genres} <a class="tn15more inline" href="/title/{f["id"]}/keywords">more</a></div>
<div class="info"><h5>User Rating:</h5>
<a href="/rg/title-tease/rating-stars/title/{f["id"]}/ratings"><b>{f["rating"]}</b></a> <small>(<a href="ratings">{f["votes"]} votes</a>)</small>
</div>
<div class="info"><h5>Country:</h5>{countries}</div>
<div class="info"><h5>Certification:</h5><a href="/List?certificates=UK:15&&heading=14;UK:15">UK:15</a> / <a href="/List?certificates=Spain:{f["spain"]}&&heading=14;Spain:{f["spain"]}">Spain:{f["spain"]}</a></div>
<table class="cast"><tr><td colspan="4" class="hdr">Cast overview, first billed only:</td></tr>
{chr(10).join(rows)}
<tr><td colspan="4"><a href="fullcredits#cast">(more)</a></td></tr></table>
<div class="info"><h5>Plot Outline:</h5>{f["outline"]} <a class="tn15more inline" href="/title/{f["id"]}/plotsummary">more</a></div>
<div id="tn15adrhs"><a href="http://{IMDB_PRO_HOST}/title/{f["id"]}/">{short}</a> at IMDb<b>Pro</b></div>
</div>
</body>
</html>
"""


def imdb_plot_page(f):
    parts = []
    for text, writer in f["plot"]:
        parts.append('<p class="plotpar">%s</p>' % text)
        if writer is not None:
            shown = writer.split("%20%7B")[0].replace("%20", " ")
            parts.append('<p class="writer"><i>Written by <a href="/SearchPlotWriters?%s">'
                         '%s</a></i></p>' % (writer, shown))
    body = "\n".join(parts)
    return f"""<html>
<head><title>{f["title"]} - Plot summary</title></head>
<body>
<div id="tn15title"><h1>Plot Summary for <a href="/title/{f["id"]}/">{f["title"]}</a></h1></div>
<div id="tn15content">
{body}
<p><a href="/title/{f["id"]}/synopsis">Plot synopsis</a> not written yet.</p>
</div>
</body>
</html>
"""


def imdb_search_page(typed, exact, popular):
    blocks = []
    if exact is not None:
        tid, text = exact
        blocks.append(f"""<p><b>Titles (Exact Matches)</b> (Displaying 1 Result)
<table>
<tr> <td valign="top"><a href="/title/{tid}/"><img src="/images/b.gif" width="23" height="32" border="0"></a>&nbsp;</td><td align="right" valign="top">1.</td><td valign="top"><a href="/title/{tid}/" onclick="(new Image()).src='/rg/find-title-1/title_exact/images/b.gif';set_args('{tid}', 1)">{text}</a></td></tr>
</table>
</p>""")
    if popular:
        rows = []
        for k, (tid, text) in enumerate(popular, start=1):
            rows.append(f"""<tr> <td valign="top"><a href="/title/{tid}/"><img src="/images/b.gif" width="23" height="32" border="0"></a>&nbsp;</td><td align="right" valign="top">{k}.</td><td valign="top"><a href="/title/{tid}/" onclick="(new Image()).src='/rg/find-title-{k}/title_popular/images/b.gif';set_args('{tid}', {k})">{text}</a></td></tr>""")
        plural = "Result" if len(popular) == 1 else "Results"
        blocks.append(f"""<p><b>Popular Titles</b> (Displaying {len(popular)} {plural})
<table>
{chr(10).join(rows)}
</table>
</p>""")
    if not blocks:
        blocks.append("<p>No Matches.</p>")
    return f"""<html>
<head><title>IMDb Search</title>
<script type="text/javascript">function set_args(id, n) {{ document.cookie = "fnd=" + id + "." + n; }}</script>
</head>
<body>
<div id="tn15content">
<h1>IMDb Title Search</h1>
<p>Search results for <b>&#34;{typed}&#34;</b></p>
{chr(10).join(blocks)}
<p>Didn't find what you were looking for? <a href="/find?more=tt">Search for more titles</a>.</p>
</div>
</body>
</html>
"""


def person(number, name):
    return "<a href=../art/ver_e.php?nombre=%d>%s</a>" % (number, name)


def culturalia_film_page(f):
    cast = "<br>".join(person(n, who) for n, who in f["cast"])
    cover, _, _, _ = f["cover"]
    return f"""<html>
<head><title>Culturalia - {f["title"]}</title>
<link rel="stylesheet" href="../estilos.css">
</head>
<body bgcolor="#ffffff">
<table width="100%"><tr><td valign="top" width="160">
<img src="../imatges/articulos/{cover}" width="150" border="0" alt="{f["title"]}">
</td><td valign="top">
<font class='titulo2'>{f["title"]}</font> ({f["year"]})<br><br>
<font class='titulo3'>G\u00e9nero:</font><br>{f["genre"]}<br><br><font class='titulo3'>Nacionalidad:</font><br>{f["nationality"]}<br><br><font class = 'titulo3'>Director:</font><br>{person(*f["director"])}<br><br>
<font class = 'titulo3'>Calificaci\u00f3n moral:</font>{f["moral"]}<br><br>
<a href=../art/votos.php?art={f["art"]}>{f["votes"]} votos. Puntuaci\u00f3n: <font class = 'titulo3'>{f["score"]}</font> / 10</a><br><br>
<font class='titulo3'>Actores:</font><br>{cast}<br><br><font class='titulo3'>Duraci\u00f3n:</font><br>Ver ficha t\u00e9cnica<br><br>
<b>Sinopsis:</b>{f["synopsis"]}<br><br>
<a href=../art/votar.php?art={f["art"]}>Vote esta pel\u00edcula</a>
</td></tr></table>
</body>
</html>
"""


def culturalia_search_page(typed, hits, most_read):
    titles = {f["art"]: f["title"] for f in CULTURALIA_FILMS}
    rows = []
    for art, text in hits:
        rows.append("<tr><td><img src='../imatges/peli.gif'> <a href='../art/ver.php?art=%d'>%s </a>"
                    "</td></tr>" % (art, text))
    box = []
    for art in most_read:
        box.append("<a href='../art/ver.php?art=%d'>%s </a><br>" % (art, titles[art]))
    found = "%d resultado%s" % (len(hits), "" if len(hits) == 1 else "s")
    if not hits:
        found = "No se han encontrado resultados"
    side = ""
    if box:
        side = "<td valign='top' width='180'><font class='titulo3'>Lo m\u00e1s le\u00eddo</font><br>%s</td>" % "".join(box)
    return f"""<html>
<head><title>Culturalia - Buscador</title>
<link rel="stylesheet" href="../estilos.css">
</head>
<body bgcolor="#ffffff">
<table width="100%"><tr><td valign="top">
<font class='titulo2'>B\u00fasqueda: {typed}</font><br>
<font class='titulo3'>{found}</font><br><br>
<table>
{chr(10).join(rows)}
</table>
</td>{side}</tr></table>
</body>
</html>
"""


INDEX_PAGE = """<html>
<head><title>Culturalia - Cine, libros y m\u00fasica</title></head>
<body bgcolor="#ffffff">
<font class='titulo2'>Culturalia</font><br>
<p>Cr\u00edticas de cine, libros y m\u00fasica para toda la familia.</p>
<form action="/bus/resu.php"><input name="texto"><input type="hidden" name="donde" value="1">
<input type="submit" value="Buscar"></form>
</body>
</html>
"""


def write_readme():
    """The folder's own note, in UTF-8: what a person can type in cinevarta-demo."""
    imdb_titles = {f["id"]: f["title"].replace("&#34;", '"').replace("&#233;", "\u00e9")
                   for f in IMDB_FILMS}
    lines = ["# The sample site",
             "",
             "The pages cinevarta-demo is shown on (`scripts/run.sh`), written by",
             "`tools/make_sample_site.py`; do not edit them by hand. Pages are Windows-1252, as the",
             "two sites served them. Letter case and the blanks around a title do not matter; any",
             "other title finds nothing.",
             "",
             "## Titles to search with \"Usar IMDB\"",
             ""]
    for typed, exact, popular in IMDB_SEARCHES:
        hits = ([exact] if exact else []) + [p for p in popular if "(VG)" not in p[1]]
        names = ", ".join(text.replace("&#34;", '"') for _, text in hits)
        lines.append("- `%s`: %s" % (typed, names))
    lines += ["", "## Titles to search with \"Usar Culturalia\"", ""]
    titles = {f["art"]: f["title"] for f in CULTURALIA_FILMS}
    for typed, hits, most_read in CULTURALIA_SEARCHES:
        names = ", ".join([text for _, text in hits] + [titles[a] for a in most_read])
        lines.append("- `%s`: %s" % (typed, names))
    lines += ["", "## Films", ""]
    for f in IMDB_FILMS:
        lines.append("- IMDb %s: %s" % (f["id"], imdb_titles[f["id"]]))
    for f in CULTURALIA_FILMS:
        path, width, height, _ = f["cover"]
        lines.append("- Culturalia %d: %s (%s), cover %s, %d x %d"
                     % (f["art"], f["title"], f["year"], path, width, height))
    with open(os.path.join(SITE, "README.md"), "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--covers-tool", help="make-sample-covers, to draw the cover pictures anew")
    args = parser.parse_args()

    # Pages are written anew each time; the pictures stay unless they are drawn again.
    for entry in ("find@default", "bus", "art", "title", "index.html"):
        path = os.path.join(SITE, entry)
        if os.path.isdir(path):
            shutil.rmtree(path)
    if os.path.isdir(SITE):
        for name in os.listdir(SITE):
            if name.startswith("find@"):
                os.remove(os.path.join(SITE, name))

    write("index.html", INDEX_PAGE)
    for f in IMDB_FILMS:
        write("title/%s.html" % f["id"], imdb_film_page(f))
        write("title/%s/plotsummary.html" % f["id"], imdb_plot_page(f))
    for typed, exact, popular in IMDB_SEARCHES:
        write("find@q=%s;tt=1" % typed, imdb_search_page(typed, exact, popular))
    write("find@default", imdb_search_page("", None, []))

    for f in CULTURALIA_FILMS:
        write("art/ver.php@art=%d" % f["art"], culturalia_film_page(f))
    for typed, hits, most_read in CULTURALIA_SEARCHES:
        write("bus/resu.php@texto=%s&donde=1" % typed, culturalia_search_page(typed, hits, most_read))
    write("bus/resu.php@default", culturalia_search_page("", [], []))

    write_readme()

    if args.covers_tool:
        command = [args.covers_tool]
        for f in CULTURALIA_FILMS:
            path, width, height, style = f["cover"]
            target = os.path.join(SITE, "imatges", "articulos", path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            command += [target, str(width), str(height), str(style)]
        subprocess.run(command, check=True)


if __name__ == "__main__":
    main()
