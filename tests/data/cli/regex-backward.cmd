regex --backward ab
