regex q
