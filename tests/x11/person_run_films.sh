# The sample site's films that the person's run opens, as the site's pages give them (UTF-8, as
# the clipboard gives the card's texts back). Sourced by person_run.sh.

# Culturalia: "colmena" finds the film and, in the side column, a second one.
c_search=colmena
c_search_url=colmena
c1_id=1187
c1_title='El espíritu de la colmena'
c1_director='Víctor Erice'
c1_genre=Drama
c1_actors=$'Ana Torrent\nIsabel Telléria\nFernando Fernán Gómez\nTeresa Gimpera'
c1_cover=espiritu_colmena_1187.jpg
c2_id=4420
c2_title='La lengua de las mariposas'
c2_director='José Luis Cuerda'

# IMDb: "alien" finds Alien first.
i_search=alien
i_search_url=alien
i1_id=tt0078748
i1_title='Alien (1979)'
i1_director='Ridley Scott'
i1_actors=$'Sigourney Weaver\nTom Skerritt\nVeronica Cartwright\nJohn Hurt\nIan Holm'

# favoritos.ini at the end: the favourite of the earlier run and the one added, sorted by title.
favourites_after=('Alien (1979)#tt0078748#I' 'Zulu Dawn#tt0080180#I')
