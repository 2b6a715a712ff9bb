tokens a b
