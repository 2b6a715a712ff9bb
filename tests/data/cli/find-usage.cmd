find col
