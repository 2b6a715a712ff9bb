regex [z-a]
