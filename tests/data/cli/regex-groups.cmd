regex (a+)(x)?(b)
