# The invented names, ranks and units every roster generator here draws from.
lasts = ['ELLISON', 'KINCAID', 'WHITFIELD', 'MADDOX', 'GILLESPIE', 'NEWCOMB', 'OSBORNE', 'HOLLOWAY']
firsts = ['CALVIN', 'KENDRA', 'PRESTON', 'PAULA', 'DERRICK', 'HOLLY', 'BRADLEY', 'FRANKLIN']
ranks = ['PVT', 'PV2', 'PFC', 'SPC', 'CPL', 'SGT', 'SSG', 'SFC', '2LT', '1LT', 'CPT']
orgs = ['HHC 1-22 IN', 'A CO 1-22 IN', 'B CO 1-22 IN', 'C CO 1-22 IN', 'D CO 1-22 IN']
