play --size 0 10
